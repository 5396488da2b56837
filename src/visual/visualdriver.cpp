// The visual driver: one run of the simulation shown in the main window, stepped by the
// user or the animation timer until the window closes.
#include "visualdriver.h"

#include <QVTKOpenGLNativeWidget.h>
#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <string>

#include "gui.h"
#include "simulation.h"
#include "util.h"
#include "visualgeometry.h"
#include "xdisplay.h"

namespace {

// Qt and VTK abort deep inside their start-up when no X server answers; check first so that
// the user gets a plain message.
void requireDisplay() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) {
        if (const char* wl = getenv("WAYLAND_DISPLAY"); wl && *wl)
            NK_FATAL(Usage,
                     "Visual mode needs an X display, but only a Wayland display is set (WAYLAND_DISPLAY=%s); "
                     "run it with XWayland (DISPLAY set) or under xvfb-run.\n",
                     wl);
        NK_FATAL(Usage,
                 "Visual mode needs a display, and none is set (DISPLAY is empty); run it in a desktop session "
                 "or under xvfb-run.\n");
    }
    if (!xDisplayOpens()) NK_FATAL(Usage, "Visual mode cannot open the X display \"%s\".\n", name);
}

// For the program's own end-to-end tests only: NK_VISUAL_TEST_STEPS=K starts the animation,
// and once K steps are made saves the 3-D view to NK_VISUAL_TEST_SHOT (when set) and closes
// the window.
void installTestHook(QApplication& app, GUI& gui, const Simulation& sim) {
    const char* steps = getenv("NK_VISUAL_TEST_STEPS");
    if (!steps) return;
    const unsigned int k = (unsigned int)strtoul(steps, nullptr, 10);
    const char* shot = getenv("NK_VISUAL_TEST_SHOT");
    const std::string shotPath = shot ? shot : "";
    QTimer::singleShot(0, &gui, [&gui]() { gui.animToggle(); });
    QTimer* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &gui, [poll, &gui, &sim, k, shotPath]() {
        if (sim.getCurrentStep() < k) return;
        poll->stop();
        if (!shotPath.empty()) gui.qVTKMain->grabFramebuffer().save(QString::fromStdString(shotPath));
        gui.close();
    });
    poll->start(20);
}

}  // namespace

int runVisualized(Simulation& sim, int argc, char** argv, VisualizationType visType, long northPole, int startSeed,
                  bool followAgent, FollowMode followAgentMode) {
    if (visType < VisTypeTerrain || visType > VisTypeSphericalPolar)
        NK_FATAL(Usage, "Unknown landscape view type %d\n", (int)visType);
    if (visType == VisTypeTerrain && (int)sim.getParameters().n > visgeom::kMaxTerrainDims)
        NK_FATAL(Usage,
                 "The terrain view (--visual-rect) draws all 2^N points and is limited to N <= %d; this "
                 "configuration has N = %u. Use --visual-spherical, which works for every N.\n",
                 visgeom::kMaxTerrainDims, sim.getParameters().n);
    requireDisplay();
    if (!sim.isVisualizationOn())
        NK_FATAL(Internal, "Internal error: a simulation shown in the window must be made in visual mode\n");

    sim.getParameters().print();
    if (startSeed >= 0) sim.setStartSeed(startSeed);
    sim.initRun();

    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    int qtArgc = argc;
    std::unique_ptr<QApplication> app(new QApplication(qtArgc, argv));
    std::unique_ptr<GUI> gui(new GUI(sim, visType, northPole, followAgent, followAgentMode));
    gui->show();
    gui->move(680 - gui->x(), 200 - gui->y());
    installTestHook(*app, *gui, sim);
    app->exec();

    sim.finishRun();
    gui.reset();
    app.reset();
    return 0;
}
