// The landscape views on a real display (Xvfb in CI; skipped without one): each view
// initialises, renders a picture that shows the landscape, follows simulation steps and
// picks vertices from clicks; dots show their colours; the fitness plot appears with the
// first step.
#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCaptionActor2D.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkXYPlotActor.h>
#include <QTest>

#include <cmath>
#include <cstring>

#include "agent.h"
#include "dotvisualization.h"
#include "polarvisualization.h"
#include "sphericalvisualization.h"
#include "terrainvisualization.h"
#include "visual_test_support.h"

using namespace vistest;

namespace {

class VisualRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        NK_REQUIRE_DISPLAY();
        app();
    }
};

// The terrain grid: one vertex per point, heights and grey levels from the landscape.
TEST_F(VisualRenderTest, TerrainShowsEveryPointAtItsFitnessAndFollowsSteps) {
    VisualSim vs(8);
    TerrainVisualization view(vs.sim);
    testing::internal::CaptureStdout();
    view.init();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nGrid resolution: 16 x 16\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Fitness min: "), std::string::npos);

    ViewHost host(view);
    const QImage before = host.render();
    // Background is 0.9 grey; the landscape covers a good part of the window.
    const int background = countPixels(before, before.rect(), 230, 230, 230, 1);
    EXPECT_LT(background, before.width() * before.height() * 3 / 4);
    EXPECT_GT(background, 0);

    vs.step(5);
    view.update();
    for (unsigned long p = 0; p < 256; p++) {
        const unsigned long g = view.pointNDimToGridIndex(p);
        const double f = vs.sim.getLandscape().getFitnessValue(Point((long)p));
        ASSERT_FLOAT_EQ(view.getVertexFitness(g), (float)f) << p;
        ASSERT_FLOAT_EQ(view.getVertex(g)[2], (float)(f / 7));
    }
    const QImage after = host.render();
    // The chosen agent's path and the fitness plot changed at least.
    EXPECT_GT(countDifferent(before, after), 0);
    EXPECT_NE(view.getXYPlotRenderWindow(), nullptr);
}

TEST_F(VisualRenderTest, TerrainPicksTheClickedVertexAndIgnoresDragsAndTheBackground) {
    VisualSim vs(8);
    TerrainVisualization view(vs.sim);
    testing::internal::CaptureStdout();
    view.init();
    testing::internal::GetCapturedStdout();
    ViewHost host(view);

    // A vertex in the middle of the grid, straight through the picker.
    const unsigned long target = view.pointNDimToGridIndex(0b10110101);
    int x, y;
    double world[3] = {view.getVertex(target)[0], view.getVertex(target)[1], view.getVertex(target)[2]};
    host.toDisplay(world, x, y);
    EXPECT_TRUE(view.handleClick(x, y));
    EXPECT_EQ(view.getSelectedGridIndex(), target);
    EXPECT_EQ(view.getSelectedPoint(), 0b10110101u);
    EXPECT_NE(std::string(view.getCaptionActor()->GetCaption()).find("point: 181, fitness: "), std::string::npos);

    // The background: nothing hit, selection kept.
    EXPECT_FALSE(view.handleClick(2, 2));
    EXPECT_EQ(view.getSelectedGridIndex(), target);

    // Through the mouse: a press and release in place selects another vertex...
    const unsigned long other = view.pointNDimToGridIndex(0b01001010);
    double w2[3] = {view.getVertex(other)[0], view.getVertex(other)[1], view.getVertex(other)[2]};
    host.toDisplay(w2, x, y);
    QTest::mouseClick(&host.widget, Qt::LeftButton, Qt::NoModifier, host.toWidget(x, y));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.getSelectedGridIndex(), other);

    // ...while a drag turns the camera and selects nothing.
    double camBefore[3];
    view.getRenderer()->GetActiveCamera()->GetPosition(camBefore);
    host.toDisplay(world, x, y);
    const QPoint start = host.toWidget(x, y);
    QTest::mousePress(&host.widget, Qt::LeftButton, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, start + QPoint(60, 40), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&host.widget, &move);
    QTest::mouseRelease(&host.widget, Qt::LeftButton, Qt::NoModifier, start + QPoint(60, 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.getSelectedGridIndex(), other);
    double camAfter[3];
    view.getRenderer()->GetActiveCamera()->GetPosition(camAfter);
    EXPECT_NE(std::memcmp(camBefore, camAfter, sizeof camBefore), 0);
}

TEST_F(VisualRenderTest, TerrainArcsAndMaximaAreShownOnRequest) {
    VisualSim vs(8);
    TerrainVisualization view(vs.sim);
    testing::internal::CaptureStdout();
    view.init();
    testing::internal::GetCapturedStdout();
    ViewHost host(view);
    // Vertex 0 is point 0 in the corner: of its 8 neighbours, 2 are next to it on the grid.
    view.toggleNeighborArcs(true);
    EXPECT_EQ(view.getNumArcs(), 6);
    const QImage withArcs = host.render();
    view.toggleNeighborArcs(false);
    EXPECT_GT(countDifferent(withArcs, host.render()), 0);

    // The maxima come from the heights, as dots of their own.
    view.toggleGlobalMax(true);
    view.toggleLocalMax(true);
    ASSERT_EQ(view.getNumDotGroups(), 2);  // no history before the first step
    EXPECT_EQ(view.getDotGroup(0)->getNumPoints(), 1);
    EXPECT_EQ(view.getDotGroup(1)->getNumPoints(), (int)view.getLocalMaxPoints().size());
    const size_t locals = view.getLocalMaxPoints().size();
    view.update();
    view.update();
    EXPECT_EQ(view.getLocalMaxPoints().size(), locals);
}

// Rendering a dot on its own: its actor's colour shows, not the glyph source's white.
TEST_F(VisualRenderTest, DotsShowTheColourOfTheirLook) {
    VisualSim vs(6);
    RectangularPolarVisualization view(vs.sim, VisTypeRectangularPolar, true);
    view.init();
    ViewHost host(view, 400, 400);
    vtkRenderer* ren = view.getRenderer();
    ren->RemoveAllViewProps();
    ren->SetBackground(1, 1, 1);
    const double origin[3] = {0, 0, 0};
    DotGroup dot(ren, 1, origin, 0.0, 0.0, 1.0, 1.0, 7);
    vtkCamera* cam = ren->GetActiveCamera();
    cam->SetPosition(0, 0, 1);
    cam->SetFocalPoint(0, 0, 0);
    cam->SetViewUp(0, 1, 0);
    ren->ResetCamera();
    const QImage img = host.render();
    EXPECT_TRUE(near(img.pixel(200, 200), 0, 0, 255, 8)) << std::hex << img.pixel(200, 200);
    EXPECT_GT(countPixels(img, img.rect(), 0, 0, 255, 8), 1000);
}

TEST_F(VisualRenderTest, PlotWindowOpensAtTheFirstStepAndNamesTheChosenAgent) {
    VisualSim vs(6);
    SphericalPolarVisualization view(vs.sim, 0, VisTypeSphericalPolar);
    view.init();
    EXPECT_EQ(view.getXYPlotRenderWindow(), nullptr);
    vs.step(1);
    vs.sim.setChosenAgent(2);
    view.update();
    vtkRenderWindow* plot = view.getXYPlotRenderWindow();
    ASSERT_NE(plot, nullptr);
    EXPECT_STREQ(plot->GetWindowName(), "Agent 3: Fitness vs. Time");
    vs.step(12);
    vs.sim.setChosenAgent(0);
    view.update();
    EXPECT_STREQ(plot->GetWindowName(), "Agent 1: Fitness vs. Time");
}

TEST_F(VisualRenderTest, FlatPolarViewsDrawTheirWallsFromTheLandscape) {
    for (VisualizationType t : {VisTypeRectangularPolar, VisTypeCircularPolar, VisTypeTwistedPolar}) {
        VisualSim vs(6);
        std::unique_ptr<RectangularPolarVisualization> view;
        if (t == VisTypeRectangularPolar) view.reset(new RectangularPolarVisualization(vs.sim, t, true));
        if (t == VisTypeCircularPolar) view.reset(new CircularPolarVisualization(vs.sim, t));
        if (t == VisTypeTwistedPolar) view.reset(new TwistedPolarVisualization(vs.sim, t));
        view->init();
        ViewHost host(*view);
        const QImage img = host.render();
        // White background, grey walls with blue edges.
        const int white = countPixels(img, img.rect(), 255, 255, 255, 0);
        EXPECT_LT(white, img.width() * img.height() * 9 / 10) << t;
        EXPECT_GT(countPixels(img, img.rect(), 0, 0, 179, 40), 50) << t;

        vs.step(4);
        view->update();
        const visgeom::PolarLayout& layout = view->getLayout();
        const int e = layout.haveEndCaps ? 1 : 0;
        for (int i = 0; i < 6; i++) {
            const std::vector<long> path = visgeom::polarPathPoints(6, i);
            for (int j = 0; j <= 6; j++) {
                const int idx = (e + j) * (int)layout.gridResX + 4 * i + 1;
                const double f = vs.sim.getLandscape().getFitnessValue(Point(path[j]));
                ASSERT_FLOAT_EQ(view->getVertexScalar(idx), (float)f) << t << " " << i << " " << j;
                ASSERT_FLOAT_EQ(view->getVertex(idx)[2], (float)(f / 7));
            }
        }
        host.render();
    }
}

TEST_F(VisualRenderTest, SphereKeepsItsCellsSelectsByClickAndRecentresOnTheSelection) {
    VisualSim vs(6);
    SphericalPolarVisualization view(vs.sim, 9, VisTypeSphericalPolar);
    view.init();
    ViewHost host(view);
    EXPECT_EQ(view.getNumberOfCells(), 30);
    const QImage before = host.render();
    EXPECT_LT(countPixels(before, before.rect(), 230, 230, 230, 1), before.width() * before.height() * 9 / 10);
    // Selected at the start: the north pole.
    EXPECT_EQ(view.getSelectedPoint(), 9);

    vs.step(3);
    view.update();
    view.update();
    EXPECT_EQ(view.getNumberOfCells(), 30);
    EXPECT_GT(countDifferent(before, host.render()), 0);

    // Click on the ring vertex that faces the camera most.
    const visgeom::SphereLayout& layout = view.getLayout();
    int target = -1;
    double camPos[3], bestFacing = -2;
    view.getRenderer()->GetActiveCamera()->GetPosition(camPos);
    for (int v = 0; v < layout.numGridPoints - 2; v++) {
        const double* p = view.getVertexPosition(v);
        const double facing = (p[0] * camPos[0] + p[1] * camPos[1] + p[2] * camPos[2]) /
                              std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        if (facing > bestFacing) {
            bestFacing = facing;
            target = v;
        }
    }
    ASSERT_GE(target, 0);
    int x, y;
    host.toDisplay(view.getVertexPosition(target), x, y);
    EXPECT_TRUE(view.handleClick(x, y));
    EXPECT_EQ(view.getSelectedPointIndex(), target);
    const long selected = view.getVertexPoints()[target];
    EXPECT_FALSE(view.handleClick(1, 1));
    EXPECT_EQ(view.getSelectedPointIndex(), target);

    view.centerSelectedPoint();
    EXPECT_EQ(view.northPolePoint(), selected);
    EXPECT_EQ(view.getSelectedPointIndex(), layout.northPoleIndex());
    char expect[64];
    snprintf(expect, sizeof expect, "point: %ld, fitness: ", selected);
    EXPECT_EQ(std::string(view.getCaptionActor()->GetCaption()).rfind(expect, 0), 0u)
        << view.getCaptionActor()->GetCaption();
    EXPECT_EQ(view.getNumberOfCells(), 30);
}

}  // namespace
