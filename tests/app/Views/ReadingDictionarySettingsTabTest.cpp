#include "app/Views/ReadingDictionarySettingsTab.hpp"

#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace brisvane;
using namespace brisvane::test;

namespace {

// The rows in layout order.
QList<QWidget*> rows(QWidget& tab)
{
    QList<QWidget*> found = tab.findChildren<QWidget*>(QStringLiteral("readingEntryRow"));
    std::sort(found.begin(), found.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    return found;
}

QLineEdit& field(QWidget& row, const char* name)
{
    return *row.findChild<QLineEdit*>(QString::fromLatin1(name));
}

QJsonArray storedEntries(const Preferences& prefs)
{
    const QJsonDocument document = QJsonDocument::fromJson(prefs.value("Brisvane.readingDictionary").toByteArray());
    EXPECT_TRUE(document.isArray());
    return document.array();
}

// Key presses carrying any text, as an input method delivers it.
void type(QWidget& target, const QString& text)
{
    for (QChar character : text)
        QTest::sendKeyEvent(QTest::Click, &target, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

bool showsEmptyState(QWidget& tab)
{
    return tab.findChild<QWidget*>(QStringLiteral("readingDictionaryEmptyState"))->isVisible();
}

using ReadingDictionaryTab = SettingsModelFixture;

TEST_F(ReadingDictionaryTab, EditsAreStoredAsTypedAndTheFieldKeepsItsFocus)
{
    ReadingDictionarySettingsTab tab(*model);
    tab.resize(560, 400);
    tab.show();
    QApplication::setActiveWindow(&tab);
    ASSERT_EQ(rows(tab).size(), 1);
    QWidget* row = rows(tab).front();
    EXPECT_EQ(field(*row, "projectNameField").text(), "Brisvane");
    EXPECT_EQ(field(*row, "readingField").text(), "ブリスベイン");
    EXPECT_FALSE(showsEmptyState(tab));

    QLineEdit& reading = field(*row, "readingField");
    reading.setFocus();
    reading.end(false);
    type(reading, QStringLiteral("ー "));
    // Each keystroke went to the model and was stored, untrimmed; the row and its field stayed.
    EXPECT_EQ(model->readingDictionary().entries.front().reading, "ブリスベインー ");
    const QJsonArray stored = storedEntries(*prefs);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].toObject()["reading"].toString(), "ブリスベインー ");
    EXPECT_EQ(stored[0].toObject()["projectName"].toString(), "Brisvane");
    EXPECT_EQ(prefs->writes["Brisvane.readingDictionary"], 2);
    EXPECT_EQ(rows(tab).front(), row);
    EXPECT_TRUE(reading.hasFocus());
    EXPECT_EQ(reading.cursorPosition(), reading.text().size());

    // A change made elsewhere shows in the field.
    model->updateReadingEntry(model->readingDictionary().entries.front().id, QStringLiteral("brisvane"), std::nullopt);
    EXPECT_EQ(field(*row, "projectNameField").text(), "brisvane");
}

TEST_F(ReadingDictionaryTab, AddDeleteAndTheEmptyState)
{
    ReadingDictionarySettingsTab tab(*model);
    tab.resize(560, 400);
    tab.show();

    tab.findChild<QPushButton*>(QStringLiteral("addReadingEntryButton"))->click();
    ASSERT_EQ(rows(tab).size(), 2);
    QWidget* added = rows(tab).back();
    EXPECT_EQ(field(*added, "projectNameField").text(), "");
    EXPECT_EQ(field(*added, "projectNameField").placeholderText(), "フォルダ名");
    EXPECT_EQ(field(*added, "readingField").placeholderText(), "読み（カタカナ）");
    EXPECT_EQ(storedEntries(*prefs).size(), 2);
    // An empty name gives labels that begin with "の".
    EXPECT_EQ(added->findChild<QToolButton*>("previewButton")->accessibleName(), "の読みを試聴");
    EXPECT_EQ(rows(tab).front()->findChild<QToolButton*>("removeButton")->accessibleName(), "Brisvaneの行を削除");

    while (!rows(tab).isEmpty()) rows(tab).front()->findChild<QToolButton*>("removeButton")->click();
    EXPECT_TRUE(model->readingDictionary().entries.isEmpty());
    EXPECT_TRUE(showsEmptyState(tab));
    EXPECT_EQ(storedEntries(*prefs), QJsonArray());

    // The stored empty list is what the next start shows: the built-in entry does not come back.
    make();
    ReadingDictionarySettingsTab next(*model);
    next.show();
    EXPECT_TRUE(rows(next).isEmpty());
    EXPECT_TRUE(showsEmptyState(next));
}

TEST_F(ReadingDictionaryTab, PreviewSpeaksTheRowsReading)
{
    ReadingDictionarySettingsTab tab(*model);
    tab.show();
    QWidget* row = rows(tab).front();
    row->findChild<QToolButton*>("previewButton")->click();
    ASSERT_EQ(speaker->spoken.size(), 1);
    EXPECT_EQ(speaker->spoken.front().message, "ブリスベインのタスクが完了しました");
}

} // namespace
