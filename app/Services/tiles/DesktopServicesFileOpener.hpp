#pragma once

#include "app/Services/tiles/FileOpening.hpp"

namespace brisvane {

// `FileOpening` through the desktop's default applications (QDesktopServices, which hands the
// URL to the desktop's opener and does not wait for the application).
class DesktopServicesFileOpener final : public FileOpening {
public:
    void open(const QUrl& url) const override;
};

} // namespace brisvane
