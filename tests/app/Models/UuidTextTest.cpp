#include "app/Models/UuidText.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(UuidText, FormatsUpperCaseAndParsesStrictly)
{
    const QUuid id = QUuid::fromString(QStringLiteral("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"));
    EXPECT_EQ(UuidText::format(id), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(UuidText::parse(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), id);
    EXPECT_EQ(UuidText::parse(u"e621e1f8-c36c-495a-93fc-0C247A3E6E5F"), id);
    for (const char16_t* text : {
             u"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
             u"E621E1F8C36C495A93FC0C247A3E6E5F",
             u"E621E1F8-C36C-495A-93FC-0C247A3E6E5",
             u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",
             u"E621E1F8-C36C-495A-93FC0-C247A3E6E5F",
             u"G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
             u" E621E1F8-C36C-495A-93FC-0C247A3E6E5",
             u"",
         }) {
        EXPECT_EQ(UuidText::parse(text), std::nullopt) << QString::fromUtf16(text).toStdString();
    }
}
