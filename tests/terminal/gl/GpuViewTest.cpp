// The GPU view inside a shown terminal view through real OpenGL: switching it on and off, and
// moving the view into another window, which builds a new GL widget and renderer there and
// leaves no GL object of the old ones behind.
#include "terminal/view/CaretView.hpp"
#include "terminal/view/TerminalView.hpp"
#include "terminal/view/gpu/OpenGlDevice.hpp"
#include "terminal/gl/GlDevice.hpp"

#include <QOpenGLWidget>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvix;

namespace {

const QColor kBackground(10, 120, 200);

class GpuViewFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 300);
        view->setGeometry(0, 0, 400, 300);
        view->setNativeBackgroundColor(kBackground);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        objectsBefore = liveGlObjects();
        if (const std::optional<GpuError> error = view->setUseGpu(true)) FAIL_OR_SKIP_WITHOUT_GL(describe(*error));
    }

    QOpenGLWidget* glWidget() const { return view->findChild<QOpenGLWidget*>(); }

    // Draws a frame now and waits until the GPU is done with it (its fence deleted): the GL
    // objects alive then are the view's resting set.
    ::testing::AssertionResult frameDrawnAndDone()
    {
        view->drawGpuFrameNow();
        const int inFlight = liveGlObjects();
        if (QTest::qWaitFor([&] { return liveGlObjects() < inFlight; }, 5000)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no frame finished; " << inFlight << " GL objects alive";
    }

    // The GL widget over the whole view and under the scroller; the caret hidden.
    void expectGlWidgetShown()
    {
        QOpenGLWidget* widget = glWidget();
        ASSERT_TRUE(widget);
        EXPECT_TRUE(widget->isVisible());
        EXPECT_EQ(widget->geometry(), view->rect());
        const QObjectList& children = view->children();
        EXPECT_LT(children.indexOf(widget), children.indexOf(view->findChild<QScrollBar*>()));
        EXPECT_FALSE(view->caret()->isVisible());
    }

    static ::testing::AssertionResult showsBackground(QWidget& widget, QPoint at)
    {
        const QColor seen = widget.grab().toImage().pixelColor(at);
        if (std::abs(seen.red() - kBackground.red()) <= 2 && std::abs(seen.green() - kBackground.green()) <= 2 &&
            std::abs(seen.blue() - kBackground.blue()) <= 2) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "got " << seen.name().toStdString();
    }

    QWidget window;
    TerminalView* view = new TerminalView(QRect(0, 0, 400, 300), std::nullopt, &window);
    int objectsBefore = 0;
};

} // namespace

TEST_F(GpuViewFixture, TheGlWidgetReplacesTheCaretAndCpuDrawingUntilSwitchedOff)
{
    expectGlWidgetShown();
    EXPECT_TRUE(frameDrawnAndDone());
    EXPECT_TRUE(showsBackground(window, QPoint(200, 200)));

    ASSERT_EQ(view->setUseGpu(false), std::nullopt);
    EXPECT_EQ(glWidget(), nullptr);
    EXPECT_TRUE(view->caret()->isVisible());
    EXPECT_TRUE(showsBackground(*view, QPoint(200, 200)));
    EXPECT_EQ(liveGlObjects(), objectsBefore);
}

TEST_F(GpuViewFixture, MovingIntoAnotherWindowDrawsThereAndReleasesTheOldObjects)
{
    ASSERT_TRUE(frameDrawnAndDone());
    const int resting = liveGlObjects();
    QOpenGLWidget* first = glWidget();

    QWidget other;
    other.resize(400, 300);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    view->setParent(&other);
    view->show();

    expectGlWidgetShown();
    EXPECT_NE(glWidget(), first);
    EXPECT_EQ(view->findChildren<QOpenGLWidget*>().size(), 1);
    EXPECT_TRUE(showsBackground(other, QPoint(200, 200)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return liveGlObjects() == resting; }, 5000))
        << liveGlObjects() << " GL objects alive, " << resting << " before the move";

    delete view;
    EXPECT_EQ(liveGlObjects(), objectsBefore);
}

// The first GL widget in a window makes Qt create the window again for GL composition; the window
// stays the active one and the terminal keeps the keyboard, so typing goes on where it was.
TEST(GpuViewFocus, SwitchingOnKeepsTheWindowActiveAndTheKeyboard)
{
    QWidget window;
    window.resize(400, 300);
    auto* view = new TerminalView(QRect(0, 0, 400, 300), std::nullopt, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    view->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasFocus(); }, 5000));
    const WId before = window.winId();

    if (const std::optional<GpuError> error = view->setUseGpu(true)) FAIL_OR_SKIP_WITHOUT_GL(describe(*error));
    // The native window was made again: the case this guards.
    EXPECT_NE(window.winId(), before);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow() && view->hasFocus(); }, 5000))
        << "active " << window.isActiveWindow() << ", focus " << view->hasFocus();
}
