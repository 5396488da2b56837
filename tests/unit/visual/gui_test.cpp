// The main window on a real display (Xvfb in CI; skipped without one): stepping and refresh,
// the agent selector, the recent-steps slider, centring the sphere, following the chosen
// agent, and the animation timer.
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <QTest>

#include <memory>

#include "agent.h"
#include "dotvisualization.h"
#include "gui.h"
#include "sphericalvisualization.h"
#include "terrainvisualization.h"
#include "visual_test_support.h"

using namespace vistest;

namespace {

void tenAgents(SimuParameters& p) {
    p.nAgents = 10;
    p.lastFitnessAgent[0] = 9;
}

class GuiTest : public ::testing::Test {
protected:
    std::unique_ptr<VisualSim> vs;
    std::unique_ptr<GUI> gui;

    void SetUp() override {
        NK_REQUIRE_DISPLAY();
        app();
    }
    void TearDown() override {
        gui.reset();
        vs.reset();
    }
    void open(VisualizationType type, long northPole = 0, bool follow = false, FollowMode mode = FollowModeFixedAgent) {
        gui.reset();
        vs.reset(new VisualSim(8, tenAgents));
        testing::internal::CaptureStdout();
        gui.reset(new GUI(vs->sim, type, northPole, follow, mode));
        testing::internal::GetCapturedStdout();
        gui->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(gui.get()));
        QCoreApplication::processEvents();
    }
    DotVisualization* dots() { return dynamic_cast<DotVisualization*>(gui->getVisualization()); }
    SphericalPolarVisualization* sphere() {
        return dynamic_cast<SphericalPolarVisualization*>(gui->getVisualization());
    }
    unsigned int step() const { return vs->sim.getCurrentStep(); }
};

TEST_F(GuiTest, TheAgentSelectorListsEveryAgentAndTheThirdEntryChoosesAgentTwo) {
    open(VisTypeTerrain);
    ASSERT_EQ(gui->comboBoxAgent->count(), 10);
    for (int i = 0; i < 10; i++) EXPECT_EQ(gui->comboBoxAgent->itemText(i), QString("Agent %1").arg(i + 1));
    EXPECT_EQ(vs->sim.getChosenAgent(), 0);  // filling the list chose nobody
    gui->nextStep();
    gui->comboBoxAgent->setCurrentIndex(2);
    EXPECT_EQ(vs->sim.getChosenAgent(), 2);
    EXPECT_EQ(step(), 1u);
    EXPECT_STREQ(gui->getVisualization()->getXYPlotRenderWindow()->GetWindowName(), "Agent 3: Fitness vs. Time");
}

TEST_F(GuiTest, NextStepsOnceNextFiveFiveTimesWithOneRefreshAndTheSliderRefreshesWithoutStepping) {
    open(VisTypeTerrain);
    QTest::mouseClick(gui->buttonNext, Qt::LeftButton);
    EXPECT_EQ(step(), 1u);
    EXPECT_EQ(gui->labelStep->text(), "Step: 1");
    const int refreshes = dots()->getNumDotUpdates();
    QTest::mouseClick(gui->buttonNext5, Qt::LeftButton);
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(gui->labelStep->text(), "Step: 6");
    EXPECT_EQ(dots()->getNumDotUpdates(), refreshes + 1);
    // Every step recorded the agents' fitness for the plot.
    EXPECT_EQ(vs->sim.getAgents()[0]->getFitnessValues().size(), 6u);
    // The slider refreshes without stepping; history then shows only the newest position.
    gui->labelStep->setText("changed");
    gui->sliderRecentSteps->setValue(1);
    EXPECT_EQ(gui->labelStep->text(), "Step: 6");
    EXPECT_EQ(dots()->getNumDotUpdates(), refreshes + 2);
    ASSERT_GE(dots()->getNumDotGroups(), 1);
    EXPECT_EQ(dots()->getDotGroup(0)->getNumPoints(), 1);
}

TEST_F(GuiTest, CheckBoxesSwitchDotsArcsAndGridLines) {
    open(VisTypeTerrain);
    gui->nextStep();
    gui->checkBoxPublicMem->setChecked(true);
    gui->checkBoxLocalMax->setChecked(true);
    ASSERT_EQ(dots()->getLegendItems().size(), 3u);
    EXPECT_EQ(dots()->getLegendItems()[0].name, "Public memory");
    EXPECT_EQ(dots()->getLegendItems()[2].name, "Local max");
    gui->checkBoxNeighbors->setChecked(true);
    EXPECT_GT(dynamic_cast<TerrainVisualization*>(gui->getVisualization())->getNumArcs(), 0);

    open(VisTypeSphericalPolar);
    EXPECT_TRUE(sphere()->getTerrainActor()->GetProperty()->GetEdgeVisibility());
    gui->checkBoxGridLines->setChecked(false);
    EXPECT_FALSE(sphere()->getTerrainActor()->GetProperty()->GetEdgeVisibility());
}

TEST_F(GuiTest, CentringOnATypedPointOrTheSelection) {
    open(VisTypeSphericalPolar, 9);
    const int refreshes = dots()->getNumDotUpdates();
    gui->lineEditCenter->setText("9");
    QTest::mouseClick(gui->buttonCenterTypedPoint, Qt::LeftButton);
    EXPECT_EQ(sphere()->northPolePoint(), 9);
    EXPECT_EQ(dots()->getNumDotUpdates(), refreshes);

    gui->lineEditCenter->setText("not a point");
    QTest::mouseClick(gui->buttonCenterTypedPoint, Qt::LeftButton);
    EXPECT_EQ(sphere()->northPolePoint(), 0);
    EXPECT_EQ(gui->lineEditCenter->text(), "0");
    EXPECT_EQ(sphere()->getSelectedPoint(), 0);

    // Finishing the edit with Return centres too.
    gui->lineEditCenter->setFocus();
    gui->lineEditCenter->selectAll();
    QTest::keyClicks(gui->lineEditCenter, "200");
    QTest::keyClick(gui->lineEditCenter, Qt::Key_Return);
    EXPECT_EQ(sphere()->northPolePoint(), 200);
    EXPECT_EQ(step(), 0u);
    // "Center @ selection" makes the selected vertex the pole.
    const visgeom::SphereLayout& layout = sphere()->getLayout();
    const int vertex = layout.vertexIndex(2, 5);  // three bits from the pole
    sphere()->selectPoint(vertex, 0.2, 0, 1);
    const long point = sphere()->getVertexPoints()[vertex];
    QTest::mouseClick(gui->buttonCenter, Qt::LeftButton);
    EXPECT_EQ(sphere()->northPolePoint(), point);
    EXPECT_EQ(gui->lineEditCenter->text(), QString::number(point));
}

TEST_F(GuiTest, FollowModesCentreOnTheChosenAgentAfterEachStep) {
    open(VisTypeSphericalPolar, 0, true, FollowModeFixedAgent);
    gui->comboBoxAgent->setCurrentIndex(3);
    gui->nextStep();
    const Agent* a = vs->sim.getAgents()[3].get();
    EXPECT_EQ(sphere()->northPolePoint(), a->getLastPoint().values);
    EXPECT_EQ(gui->lineEditCenter->text(), QString::number(a->getLastPoint().values));
    // Fixed mode: the selection moves with the pole.
    EXPECT_EQ(sphere()->getSelectedPointIndex(), sphere()->getLayout().northPoleIndex());

    open(VisTypeSphericalPolar, 0, true, FollowModeFixedAgentSearchStart);
    gui->next5Steps();
    EXPECT_EQ(sphere()->northPolePoint(), vs->sim.getAgents()[0]->getSearchStartPoint().values);

    open(VisTypeSphericalPolar, 0, false, FollowModeFixedAgent);
    gui->next5Steps();
    EXPECT_EQ(sphere()->northPolePoint(), 0);
}

TEST_F(GuiTest, StartPauseStartRunsOneStepPerTickOfA300MillisecondTimer) {
    open(VisTypeTerrain);
    vtkRenderWindowInteractor* iren = gui->getVisualization()->getRenderWindow()->GetInteractor();
    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    EXPECT_EQ(gui->buttonStartStop->text(), "Pause");
    EXPECT_EQ(iren->GetTimerDuration(gui->getAnimTimerId()), 300ul);
    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    EXPECT_EQ(gui->buttonStartStop->text(), "Start");
    EXPECT_EQ(gui->getAnimTimerId(), -1);

    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    const int id = gui->getAnimTimerId();
    ASSERT_GE(id, 0);
    // One tick of the animation timer makes one step; another timer's tick none. The ticks
    // are sent by hand, so that the test does not depend on the machine's speed.
    const unsigned int before = step();
    int tick = id, otherTimer = id + 1000;
    iren->InvokeEvent(vtkCommand::TimerEvent, &tick);
    iren->InvokeEvent(vtkCommand::TimerEvent, &otherTimer);
    EXPECT_EQ(step(), before + 1);
    EXPECT_EQ(gui->labelStep->text(), QString("Step: %1").arg(step()));
}

}  // namespace
