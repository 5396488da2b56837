// Pictures of the visual mode for the documentation: the main window with each of the five
// views after some steps, and the fitness plot window.
//   nkscreenshots <sim.cfg> <output directory>
// Needs an X display; scripts/screenshots.sh runs it under Xvfb.
#include <QVTKOpenGLNativeWidget.h>
#include <vtkNew.h>
#include <vtkPNGWriter.h>
#include <vtkRenderWindow.h>
#include <vtkWindowToImageFilter.h>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QSurfaceFormat>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gui.h"
#include "simulation.h"
#include "visualization.h"
#include "xdisplay.h"

namespace {

struct Shot {
    VisualizationType type;
    const char* file;
};

void savePlot(vtkRenderWindow* plot, const std::string& path) {
    vtkNew<vtkWindowToImageFilter> grab;
    grab->SetInput(plot);
    grab->ReadFrontBufferOff();
    grab->Update();
    vtkNew<vtkPNGWriter> writer;
    writer->SetFileName(path.c_str());
    writer->SetInputConnection(grab->GetOutputPort());
    writer->Write();
}

// Shows the view of `shot` after 40 steps with some dots on, and saves the window (and for
// the terrain also the fitness plot) into `outDir`.
void takeShot(Simulation& sim, const Shot& shot, const std::string& outDir) {
    GUI gui(sim, shot.type, 0, false, FollowModeFixedAgent);
    gui.resize(1000, 700);
    gui.show();
    QCoreApplication::processEvents();
    gui.comboBoxAgent->setCurrentIndex(1);
    for (int i = 0; i < 8; i++) gui.next5Steps();
    if (shot.type == VisTypeTerrain) {
        gui.checkBoxPublicMem->setChecked(true);
        gui.checkBoxPrivateMem->setChecked(true);
        gui.checkBoxGlobalMax->setChecked(true);
        gui.checkBoxLocalMax->setChecked(true);
    }
    if (shot.type == VisTypeSphericalPolar) gui.checkBoxPublicMem->setChecked(true);
    gui.nextStep();
    QCoreApplication::processEvents();
    gui.grab().save(QString::fromStdString(outDir + "/" + shot.file));
    if (shot.type == VisTypeTerrain)
        savePlot(gui.getVisualization()->getXYPlotRenderWindow(), outDir + "/visual-plot.png");
    gui.close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s <sim.cfg> <output directory>\n", argv[0]);
        return 2;
    }
    if (!xDisplayOpens()) {
        fprintf(stderr, "%s: needs an X display (run it under xvfb-run)\n", argv[0]);
        return 1;
    }
    const std::string outDir = argv[2];
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const Shot shots[] = {{VisTypeTerrain, "visual-terrain.png"},
                          {VisTypeRectangularPolar, "visual-rectangular.png"},
                          {VisTypeCircularPolar, "visual-circular.png"},
                          {VisTypeTwistedPolar, "visual-twisted.png"},
                          {VisTypeSphericalPolar, "visual-spherical.png"}};
    for (const Shot& shot : shots) {
        std::vector<std::string> cfg = {argv[1]}, names;
        Simulation sim(cfg, names, 0, 0.0, {}, SimulationMode::Visual);
        sim.initRun();
        // The view's statistics lines are not wanted here.
        FILE* quiet = freopen("/dev/null", "w", stdout);
        (void)quiet;
        takeShot(sim, shot, outDir);
        sim.finishRun();
        fprintf(stderr, "wrote %s/%s\n", outDir.c_str(), shot.file);
    }
    return 0;
}
