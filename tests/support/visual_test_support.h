// Support for the tests that need a display: one Qt application per test process, a small
// running simulation, a widget that hosts a view, and pixel counting on rendered images.
#pragma once

#include <gtest/gtest.h>

#include <QVTKOpenGLNativeWidget.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simulation.h"
#include "small_setup.h"
#include "visualization.h"
#include "xdisplay.h"

namespace vistest {

// The tests render into a real X display (Xvfb in CI); without one they are skipped.
inline bool haveDisplay() {
    const char* d = getenv("DISPLAY");
    return d && *d && xDisplayOpens();
}

#define NK_REQUIRE_DISPLAY()                                                              \
    do {                                                                                  \
        if (!vistest::haveDisplay()) GTEST_SKIP() << "no X display (run under xvfb-run)"; \
    } while (0)

inline QApplication& app() {
    static int argc = 1;
    static char name[] = "nkswarm-test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = nullptr;
    if (!instance) {
        QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
        instance = new QApplication(argc, argv);
    }
    return *instance;
}

inline void smallSetup(SimuParameters& p, unsigned int n) {
    smallSimulationSetup(p, n, 5);
    p.maxTotalSteps = 50;
    p.maxMemSize = 50;
}

// A simulation in visual mode, its one run started.
struct VisualSim {
    std::vector<std::string> names;
    Simulation sim;
    explicit VisualSim(unsigned int n, const std::function<void(SimuParameters&)>& extra = nullptr)
        : sim(
              names,
              [&](SimuParameters& p) {
                  smallSetup(p, n);
                  if (extra) extra(p);
              },
              SimulationMode::Visual) {
        sim.initRun();
    }
    ~VisualSim() { sim.finishRun(); }
    void step(int count = 1) {
        for (int i = 0; i < count; i++) {
            sim.executeOneStep();
            sim.updateFitnessValues();
        }
    }
};

// Shows a view's render window in a Qt widget, as the main window does.
struct ViewHost {
    QVTKOpenGLNativeWidget widget;
    Visualization& view;
    explicit ViewHost(Visualization& v, int w = 800, int h = 600) : view(v) {
        app();
        widget.setRenderWindow(v.getRenderWindow());
        widget.resize(w, h);
        widget.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&widget));
        render();
    }
    QImage render() {
        view.getRenderWindow()->Render();
        QCoreApplication::processEvents();
        return widget.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    }
    // Display pixel (VTK's origin at the bottom left) of a world position.
    void toDisplay(const double* world, int& x, int& y) {
        vtkRenderer* ren = view.getRenderer();
        ren->SetWorldPoint(world[0], world[1], world[2], 1.0);
        ren->WorldToDisplay();
        const double* d = ren->GetDisplayPoint();
        x = (int)(d[0] + 0.5);
        y = (int)(d[1] + 0.5);
    }
    // The same pixel in Qt's widget coordinates (origin at the top left).
    QPoint toWidget(int x, int y) const { return QPoint(x, widget.height() - 1 - y); }
};

inline bool near(QRgb c, int r, int g, int b, int tol) {
    return std::abs(qRed(c) - r) <= tol && std::abs(qGreen(c) - g) <= tol && std::abs(qBlue(c) - b) <= tol;
}

// Pixels of a colour (within a tolerance) inside a rectangle.
inline int countPixels(const QImage& img, const QRect& area, int r, int g, int b, int tol) {
    int n = 0;
    const QRect a = area.intersected(img.rect());
    for (int y = a.top(); y <= a.bottom(); y++)
        for (int x = a.left(); x <= a.right(); x++)
            if (near(img.pixel(x, y), r, g, b, tol)) n++;
    return n;
}

inline int countDifferent(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); y++)
        for (int x = 0; x < std::min(a.width(), b.width()); x++)
            if (a.pixel(x, y) != b.pixel(x, y)) n++;
    return n;
}

}  // namespace vistest
