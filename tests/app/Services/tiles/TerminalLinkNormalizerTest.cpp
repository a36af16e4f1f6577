#include "app/Services/tiles/TerminalLinkNormalizer.hpp"

#include "tests/app/TerminalTilePrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

// Files from a fixed set; the home folder "/h" is the one folder.
class SetExistenceChecker final : public PathExistenceChecking {
public:
    explicit SetExistenceChecker(QSet<QString> paths) : paths_(std::move(paths)) {}
    bool fileExists(const QString& path, bool* isDirectory) const override
    {
        if (!paths_.contains(path)) return false;
        if (isDirectory) *isDirectory = path == u"/h";
        return true;
    }

private:
    QSet<QString> paths_;
};

} // namespace

TEST(TerminalLinkNormalizer, ReadsSchemesAndFilePaths)
{
    struct SchemeCase {
        QString link;
        std::optional<QString> scheme;
    };
    const SchemeCase schemes[] = {
        {"HTTPS://x", "HTTPS"},     {"svn+ssh://h/r", "svn+ssh"}, {"a.b-c:x", "a.b-c"}, {"/tmp/a:b", std::nullopt},
        {":x", std::nullopt},       {"1http:x", std::nullopt},    {"C:\\dir", "C"},     {"no colon", std::nullopt},
        {"ht tp:x", std::nullopt},  {"é:x", std::nullopt},
    };
    for (const SchemeCase& c : schemes) {
        SCOPED_TRACE(c.link.toStdString());
        EXPECT_EQ(TerminalLinkNormalizer::scheme(c.link), c.scheme);
    }

    struct PathCase {
        QString link;
        std::optional<QString> path;
    };
    const PathCase paths[] = {
        {"file:///tmp/x", "/tmp/x"},
        {"FILE:///tmp/x", "/tmp/x"},
        {"file://host/tmp/x", "/tmp/x"},
        {"file:///tmp/a%20b", "/tmp/a b"},
        {QString::fromUtf8("file:///tmp/%E6%97%A5"), QString::fromUtf8("/tmp/日")},
        {"file:///tmp/100%", "/tmp/100%"},       // a cut escape: kept as written
        {"file:///tmp/%ff", "/tmp/%ff"},         // not UTF-8: kept as written
        {"file:relative/path", "relative/path"},
        {"file://", std::nullopt},
        {"file://host", std::nullopt},
        {"file:", std::nullopt},
        {"https://x/y", std::nullopt},
    };
    for (const PathCase& c : paths) {
        SCOPED_TRACE(c.link.toStdString());
        EXPECT_EQ(TerminalLinkNormalizer::filePath(c.link), c.path);
    }
}

TEST(TerminalLinkNormalizer, DecidesWhatALinkDoes)
{
    const SetExistenceChecker checker({"/tmp/x", "/tmp/a b", "/w/relative/path", "/w/notes.md", "/tmp/a:b", "/h"});
    const auto open = [](const char* path, bool folder = false) {
        return TerminalLinkAction::openLocalPath({QString::fromUtf8(path), folder});
    };
    const auto external = [](const char* url) { return TerminalLinkAction::openExternalURL(QUrl(QString::fromUtf8(url))); };
    struct Case {
        QString link;
        TerminalLinkAction action;
    };
    const Case cases[] = {
        {"", TerminalLinkAction::ignore()},
        {"https://example.com/a?b=c", external("https://example.com/a?b=c")},
        {"HTTPS://Example.com", external("HTTPS://Example.com")},
        {"mailto:me@example.com", external("mailto:me@example.com")},
        {"http://exa mple.com", TerminalLinkAction::ignore()},
        {"file:///tmp/x", open("/tmp/x")},
        {"FILE:///tmp/x", open("/tmp/x")},
        {"file:///tmp/a%20b", open("/tmp/a b")},
        {"file:relative/path", open("/w/relative/path")},
        {"file:///tmp/missing", TerminalLinkAction::ignore()},
        {"notes.md", open("/w/notes.md")},
        {"~", open("/h", true)},
        {"/tmp/a:b", open("/tmp/a:b")},
        {"missing.md", TerminalLinkAction::ignore()},
        {"ftp://host/x", TerminalLinkAction::ignore()},
        {"ssh:host", TerminalLinkAction::ignore()},
        {"tel:123", TerminalLinkAction::ignore()},
        {"C:\\tmp\\x", TerminalLinkAction::ignore()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        EXPECT_EQ(TerminalLinkNormalizer::action(c.link, QStringLiteral("/w"), "/h", checker), c.action);
    }
    // Without the shell's folder a relative link finds nothing here.
    EXPECT_EQ(TerminalLinkNormalizer::action("notes.md", std::nullopt, "/h", checker), TerminalLinkAction::ignore());
}
