#include "app/Models/VoicevoxHTTPError.hpp"

namespace brisvane {

QString VoicevoxHTTPError::description() const
{
    switch (kind) {
    case Kind::unexpectedStatusCode:
        return QStringLiteral("unexpectedStatusCode(%1)").arg(statusCode);
    case Kind::encodingFailed:
        return QStringLiteral("encodingFailed");
    case Kind::invalidURL:
        break;
    }
    return QStringLiteral("invalidURL");
}

QString description(const VoicevoxRequestError& error)
{
    return std::visit([](const auto& failure) { return failure.description(); }, error);
}

} // namespace brisvane
