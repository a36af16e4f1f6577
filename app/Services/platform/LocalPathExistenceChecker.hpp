#pragma once

#include "app/Services/platform/PathExistenceChecking.hpp"

namespace brisvane {

// `PathExistenceChecking` through stat(2).
class LocalPathExistenceChecker final : public PathExistenceChecking {
public:
    bool fileExists(const QString& path, bool* isDirectory = nullptr) const override;
};

} // namespace brisvane
