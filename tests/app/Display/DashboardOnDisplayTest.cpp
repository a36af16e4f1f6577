// The dashboard on a real X display (ctest runs this binary under xvfb-run with the xcb platform):
// what only a window system shows, such as popups that the platform closes and the pixels of texts
// as they reach the screen. Screenshots are kept in BRISVANE_SCREENSHOT_DIR.
#include "app/App/ViewCompositionRoot.hpp"
#include "app/Services/platform/QSettingsPreferences.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/DashboardView.hpp"
#include "app/Views/ExternalSessionsIndicatorView.hpp"
#include "app/Views/GridControlsView.hpp"
#include "app/Views/OnboardingView.hpp"
#include "app/Views/PlanUsageGaugeView.hpp"
#include "app/Views/PopoverFrame.hpp"
#include "app/Views/TerminalTileView.hpp"
#include "app/Views/TilePageView.hpp"
#include "app/Views/TopBarView.hpp"
#include "tests/app/AgentHome.hpp"
#include "tests/app/Views/LabelTexts.hpp"
#include "tests/app/Views/PictureChecks.hpp"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <cstdio>

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

constexpr int kPatienceMs = 20'000;

QString screenshotFolder()
{
    QString folder = qEnvironmentVariable("BRISVANE_SCREENSHOT_DIR");
    if (folder.isEmpty()) folder = QDir::tempPath() + QStringLiteral("/brisvane-screenshots");
    QDir().mkpath(folder);
    return folder;
}

// What the screen shows of a widget's rectangle (popups and other windows over it included).
// The round trip to the X server also brings in every event it sent before.
QImage screenPixels(QWidget& widget, QRect area)
{
    widget.repaint(); // what the widget holds now, not its last painting
    const QPoint origin = widget.mapToGlobal(area.topLeft());
    const QImage image = widget.screen()
                             ->grabWindow(0, origin.x(), origin.y(), area.width(), area.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QCoreApplication::processEvents();
    return image;
}

void keep(const QImage& image, const QString& name)
{
    const QString path = screenshotFolder() + "/" + name;
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
    std::printf("screenshot: %s\n", qPrintable(path));
}

struct Contrast {
    QRgb background = 0;
    QRgb ink = 0;
    double ratio = 1;
};

// The background is the commonest colour of the text's box; the ink is the pixel farthest from it.
// Their contrast ratio says how well the text reads.
Contrast textContrast(const QImage& box)
{
    Contrast contrast;
    contrast.background = test::dominantColor(box, box.rect()).rgb() & 0xFFFFFF;
    const auto distance = [&](QRgb rgb) {
        const int r = qRed(rgb) - qRed(contrast.background);
        const int g = qGreen(rgb) - qGreen(contrast.background);
        const int b = qBlue(rgb) - qBlue(contrast.background);
        return r * r + g * g + b * b;
    };
    contrast.ink = contrast.background;
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            const QRgb pixel = box.pixel(x, y) & 0xFFFFFF;
            if (distance(pixel) > distance(contrast.ink)) contrast.ink = pixel;
        }
    }
    contrast.ratio = test::contrastRatio(QColor(contrast.background), QColor(contrast.ink));
    return contrast;
}

std::string describe(const Contrast& contrast)
{
    return QStringLiteral("ink %1 on %2: %3:1")
        .arg(QColor(contrast.ink).name(), QColor(contrast.background).name())
        .arg(contrast.ratio, 0, 'f', 2)
        .toStdString();
}

class DashboardOnDisplay : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "these checks need a real X display";
    }
};

} // namespace

// Texts a new user must read, measured on the screen: the terms in the onboarding and the layout
// picker's label in the top bar, each at least WCAG's 4.5:1 for body text.
TEST_F(DashboardOnDisplay, TermsAndLayoutLabelAreReadable)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    QSettingsPreferences().remove("Brisvane.onboardingCompletedVersion");
    std::unique_ptr<DashboardViewModel> model = makeViewModel(home.path());
    DashboardView view(*model, makeViewDependencies(*model));
    view.resize(1280, 760);
    view.move(0, 0);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto* topBarControls = qobject_cast<GridControlsView*>(view.topBar().gridControls());
    ASSERT_NE(topBarControls, nullptr);
    QLabel& layoutLabel = *topBarControls->layoutLabel();
    ASSERT_FALSE(layoutLabel.text().isEmpty());
    const QImage label = screenPixels(layoutLabel, layoutLabel.rect());
    keep(screenPixels(view.topBar(), view.topBar().rect()), "top-bar.png");
    const Contrast labelContrast = textContrast(label);
    EXPECT_GE(labelContrast.ratio, 4.5) << "layout picker label " << describe(labelContrast);

    ASSERT_TRUE(QTest::qWaitFor([&] { return view.onboardingSheet() != nullptr; }, kPatienceMs));
    auto* onboarding = qobject_cast<OnboardingView*>(view.onboardingSheet());
    ASSERT_NE(onboarding, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(onboarding));
    onboarding->setStep(OnboardingView::Step::terms);
    auto* terms = onboarding->findChild<QPlainTextEdit*>(QStringLiteral("legalText"));
    ASSERT_NE(terms, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return terms->isVisible(); }, kPatienceMs));
    QWidget& text = *terms->viewport();
    const QImage shown = screenPixels(text, text.rect());
    keep(screenPixels(*onboarding, onboarding->rect()), "onboarding-terms.png");
    const Contrast termsContrast = textContrast(shown);
    EXPECT_GE(termsContrast.ratio, 4.5) << "terms text " << describe(termsContrast);
    std::printf("layout label %s, terms %s\n", describe(labelContrast).c_str(), describe(termsContrast).c_str());
    view.close();
    std::printf("contrast checked\n");
}

// The popovers' open state is the view's: updates of what they show never close them.
TEST_F(DashboardOnDisplay, PopoversStayOpenWhileTheirContentChanges)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    const QString session = home.sessionsDirectory() + "/900001.json";
    test::writeFile(session, test::sessionFile(900001, "busy", "alpha"));
    test::writeFile(home.sessionsDirectory() + "/900002.json", test::sessionFile(900002, "idle", "beta"));
    test::writeFile(home.claudeHome() + "/brisvane-usage.json", test::planUsage(42));
    QSettingsPreferences().setValue("Brisvane.onboardingCompletedVersion", 1);

    std::unique_ptr<DashboardViewModel> model = makeViewModel(home.path());
    DashboardView view(*model, makeViewDependencies(*model));
    view.resize(1280, 760);
    view.move(0, 0);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // A shell tile, as a user has: the tile page rebuilds on the model's changes too.
    model->createTerminalTile();

    ExternalSessionsIndicatorView& indicator = view.topBar().indicator();
    ASSERT_TRUE(QTest::qWaitFor([&] { return indicator.text() == QStringLiteral("外部セッション: 2"); }, kPatienceMs));
    QTest::mouseClick(&indicator, Qt::LeftButton);
    PopoverFrame& sessions = indicator.popover();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sessions));

    const char* states[] = {"idle", "waiting", "busy"};
    const char* labels[] = {"アイドル", "許可待ち", "実行中"};
    for (int change = 0; change < 3; ++change) {
        SCOPED_TRACE(change);
        test::writeFile(session, test::sessionFile(900001, states[change], "alpha"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !indicator.sessions().isEmpty() &&
                       indicator.sessions().front().projectName.primary == QStringLiteral("alpha") &&
                       test::labelTexts(sessions).contains(QString::fromUtf8(labels[change]));
            },
            kPatienceMs))
            << test::labelTexts(sessions).join(" ").toStdString();
        // A later marker: the popover's pixels on the screen, fetched after the change.
        const QImage shown = screenPixels(sessions, sessions.rect());
        ASSERT_TRUE(sessions.isPresented()) << "the sessions popover closed after change " << change;
        ASSERT_TRUE(indicator.isShowingPopover());
        if (change == 2) keep(shown, "external-sessions-popover.png");
    }
    sessions.dismiss();
    ASSERT_FALSE(indicator.isShowingPopover());

    PlanUsageGaugeView& gauge = view.topBar().gauge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gauge.stripTexts().contains("42%"); }, kPatienceMs));
    QTest::mouseClick(&gauge, Qt::LeftButton, {}, QPoint(10, gauge.height() / 2));
    PopoverFrame& usage = gauge.popover();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&usage));
    for (int percentage : {50, 60, 70}) {
        SCOPED_TRACE(percentage);
        test::writeFile(home.claudeHome() + "/brisvane-usage.json", test::planUsage(percentage));
        model->refresh();
        const QString text = QStringLiteral("%1%").arg(percentage);
        ASSERT_TRUE(QTest::qWaitFor([&] { return test::labelTexts(usage).contains(text); }, kPatienceMs))
            << test::labelTexts(usage).join(" ").toStdString();
        const QImage shown = screenPixels(usage, usage.rect());
        ASSERT_TRUE(usage.isPresented()) << "the plan-usage popover closed at " << percentage << "%";
        ASSERT_TRUE(gauge.isShowingPopover());
        if (percentage == 70) keep(shown, "plan-usage-popover.png");
    }
    usage.dismiss();
    view.close();
    std::printf("popovers stayed open\n");
}

// A picture of the grid as a user with many shells sees it: 3x3 tiles on a 1100-pixel window, one
// focused (its accent shadow), one scrolled back (its scroll bar in the terminal's colours). Every
// header keeps its whole project name.
TEST_F(DashboardOnDisplay, ANarrowThreeByThreeGrid)
{
    test::TemporaryHome home(test::TemporaryHome::Content::empty);
    QSettingsPreferences().setValue("Brisvane.onboardingCompletedVersion", 1);
    std::unique_ptr<DashboardViewModel> model = makeViewModel(home.path());
    DashboardView view(*model, makeViewDependencies(*model));
    view.resize(1100, 760);
    view.move(0, 0);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    model->setLayoutPreset(GridLayoutPreset::threeByThree);
    for (int i = 0; i < 4; ++i) model->createTerminalTile();
    ASSERT_EQ(model->terminalTiles().size(), 4u);
    const QUuid first = model->terminalTiles()[0].id;
    auto* tile = qobject_cast<TerminalTileView*>(view.tilePage().cells()[0]);
    ASSERT_NE(tile, nullptr);
    ASSERT_EQ(tile->tile().id, first);
    ASSERT_NE(tile->terminalView(), nullptr);
    BrisvaneTerminalView& terminal = *tile->terminalView();
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += "line " + std::to_string(i) + "\r\n";
    terminal.feed(lines);
    // The keyboard in the first terminal: the model's focus poll focuses its tile.
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    terminal.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tile->focusProgress() == 1.0; }, kPatienceMs));
    for (QWidget* cell : view.tilePage().cells()) {
        if (auto* terminalTile = qobject_cast<TerminalTileView*>(cell)) {
            EXPECT_EQ(terminalTile->primaryNameLabel()->text(),
                      terminalTile->primaryNameLabel()->property("fullText").toString());
        }
    }
    keep(screenPixels(view, view.rect()), "dashboard-3x3-1100.png");
    view.close();
    std::printf("narrow grid shown\n");
}
