#pragma once

#include "app/Models/FileTail.hpp"

#include <QString>

#include <optional>

namespace brisvane::ModelNameResolver {

// The model of the last assistant line of a transcript's tail whose model does not begin with
// "<" (the agent's placeholders). A truncated tail first loses everything up to and including
// its first line feed, so a cut inside a line, or inside a character, costs only that line.
// Nothing when no such line is found or the rest is not UTF-8.
std::optional<QString> latestAssistantModel(const FileTail& tail);
// The localised "unknown" shown when no model is known.
QString unknownModelName();

} // namespace brisvane::ModelNameResolver
