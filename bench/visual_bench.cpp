// The terrain view's cost per simulation step: one update (every point's height and grey
// level re-read from the landscape, the maxima, the dots) and one render, as visual mode
// pays them after each step. Needs an X display (run under xvfb-run).
#include <benchmark/benchmark.h>

#include <QVTKOpenGLNativeWidget.h>
#include <vtkRenderWindow.h>
#include <QApplication>
#include <QSurfaceFormat>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "simulation.h"
#include "terrainvisualization.h"
#include "xdisplay.h"

namespace {

QApplication* app() {
    static int argc = 1;
    static char name[] = "visual_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = nullptr;
    if (!instance) {
        QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
        instance = new QApplication(argc, argv);
    }
    return instance;
}

void setup(SimuParameters& p, unsigned int n) {
    p.n = n;
    p.k = 5;
    p.nPoints = 1ul << n;
    p.nContexts = 1ul << p.k;
    p.nAgents = 50;
    p.nRuns = 1;
    p.maxTotalSteps = 1000;
    p.nFitnessGroups = 1;
    p.firstFitnessAgent[0] = 0;
    p.lastFitnessAgent[0] = 49;
    p.initialPrivateMemSize = 3;
    p.initialPublicMemSize = 5;
    p.maxMemSize = 50;
    p.flockingRadius = 1;
    p.flockingIntensity = 0.95;
    p.generalCustomParams.exploitSearchConfig.maxSteps = 5;
    p.exploreSearchConfig.maxSteps = 5;
    p.exploreSearchConfig.maxAttempts = 4;
    p.exploreSearchConfig.rangeLow = 0.1;
    p.exploreSearchConfig.rangeHigh = 0.4;
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            for (int m = 0; m < 2; m++)
                for (int a = 0; a < 2; a++) p.generalStrategy.s1.searchProbs[i][j][m][a] = 0.25;
            p.generalStrategy.s2.placeProbs[i][j] = 0.5;
        }
    p.landscapeseed = 2024;
    p.startseed = 11;
    p.searchseed = 12;
}

struct Scene {
    std::vector<std::string> names;
    Simulation sim;
    std::unique_ptr<TerrainVisualization> view;
    std::unique_ptr<QVTKOpenGLNativeWidget> widget;
    Scene(unsigned int n, bool shown)
        : sim(
              names, [n](SimuParameters& p) { setup(p, n); }, SimulationMode::Visual) {
        sim.initRun();
        view.reset(new TerrainVisualization(sim));
        // The view prints its grid size and fitness range; keep the benchmark's output clean.
        fflush(stdout);
        const int saved = dup(1);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        close(devnull);
        view->init();
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        // The dots a user usually switches on.
        view->toggleMemoryDots(MemTypePublic, true);
        view->toggleMemoryDots(MemTypePrivate, true);
        view->toggleLocalMax(true);
        if (shown) {
            widget.reset(new QVTKOpenGLNativeWidget);
            widget->setRenderWindow(view->getRenderWindow());
            widget->resize(934, 560);
            widget->show();
            QCoreApplication::processEvents();
            view->getRenderWindow()->Render();
        }
        step();
    }
    ~Scene() {
        widget.reset();
        view.reset();
        sim.finishRun();
    }
    void step() {
        sim.executeOneStep();
        sim.updateFitnessValues();
    }
};

bool displayOk(benchmark::State& state) {
    const char* d = getenv("DISPLAY");
    if (!d || !*d || !xDisplayOpens()) {
        state.SkipWithError("needs an X display (run under xvfb-run)");
        return false;
    }
    app();
    return true;
}

// One refresh after a step: every height and scalar, the maxima, the dots.
void BM_TerrainUpdate(benchmark::State& state) {
    if (!displayOk(state)) return;
    Scene scene((unsigned int)state.range(0), false);
    for (auto _ : state) {
        state.PauseTiming();
        scene.step();
        state.ResumeTiming();
        scene.view->update();
    }
    state.counters["points"] = (double)(1UL << state.range(0));
}
BENCHMARK(BM_TerrainUpdate)->Arg(16)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(10);

// One render of the updated terrain (the pipeline re-executes: surface, grid lines, dots).
void BM_TerrainRender(benchmark::State& state) {
    if (!displayOk(state)) return;
    Scene scene((unsigned int)state.range(0), true);
    for (auto _ : state) {
        state.PauseTiming();
        scene.step();
        scene.view->update();
        state.ResumeTiming();
        scene.view->getRenderWindow()->Render();
    }
}
BENCHMARK(BM_TerrainRender)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
