// The main window on a real display (Xvfb in CI; skipped without one): its widgets per view
// type, stepping and refresh, the agent selector, the recent-steps slider, centring the
// sphere, following the chosen agent, and the animation timer.
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <QElapsedTimer>
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

TEST_F(GuiTest, TheFormHasTheSpecifiedWidgetsTextsAndTabOrder) {
    open(VisTypeTerrain);
    EXPECT_EQ(gui->objectName(), "GUI");
    EXPECT_EQ(gui->windowTitle(), "NK Visualization");
    EXPECT_EQ(gui->menu_File->title(), "&File");
    ASSERT_EQ(gui->menu_File->actions().size(), 1);
    EXPECT_EQ(gui->menu_File->actions()[0], gui->actionE_xit);
    EXPECT_EQ(gui->actionE_xit->text(), "E&xit");
    EXPECT_EQ(gui->actionExit->text(), "Exit");
    const std::pair<QAbstractButton*, const char*> texts[] = {{gui->buttonCenter, "Center @ selection"},
                                                              {gui->buttonCenterTypedPoint, "Center"},
                                                              {gui->checkBoxGridLines, "Grid Lines"},
                                                              {gui->checkBoxNeighbors, "Neighbors"},
                                                              {gui->checkBoxOthers, "Others"},
                                                              {gui->checkBoxConsidered, "Considered"},
                                                              {gui->checkBox1Agent, "1 agent"},
                                                              {gui->checkBoxPublicMem, "Public"},
                                                              {gui->checkBoxGlobalMax, "Global Max"},
                                                              {gui->checkBoxHistory, "History"},
                                                              {gui->checkBoxPrivateMem, "Private"},
                                                              {gui->checkBoxLocalMax, "Local Max"},
                                                              {gui->buttonStartStop, "Start"},
                                                              {gui->buttonNext, "Next"},
                                                              {gui->buttonNext5, "Next 5"}};
    for (const auto& t : texts) EXPECT_EQ(t.first->text(), t.second) << t.second;
    const std::pair<QWidget*, std::pair<int, int>> cells[] = {
        {gui->checkBoxNeighbors, {0, 0}}, {gui->checkBoxOthers, {0, 1}},     {gui->checkBoxConsidered, {0, 2}},
        {gui->checkBox1Agent, {1, 0}},    {gui->checkBoxPublicMem, {1, 1}},  {gui->checkBoxGlobalMax, {1, 2}},
        {gui->checkBoxHistory, {2, 0}},   {gui->checkBoxPrivateMem, {2, 1}}, {gui->checkBoxLocalMax, {2, 2}}};
    for (const auto& c : cells) {
        int row, col, rowSpan, colSpan;
        gui->gridLayout->getItemPosition(gui->gridLayout->indexOf(c.first), &row, &col, &rowSpan, &colSpan);
        EXPECT_EQ(std::make_pair(row, col), c.second) << c.first->objectName().toStdString();
    }
    EXPECT_EQ(gui->size(), QSize(934, 653));
    EXPECT_EQ(gui->labelRecentSteps->text(), "Recent steps");
    EXPECT_EQ(gui->labelStep->text(), "Step: 0");
    EXPECT_EQ(gui->checkBoxNeighbors->toolTip(), "Turn neighbor arcs on/off");
    EXPECT_TRUE(gui->checkBoxGridLines->isChecked());
    EXPECT_TRUE(gui->checkBox1Agent->isChecked());
    EXPECT_TRUE(gui->checkBoxHistory->isChecked());
    EXPECT_FALSE(gui->checkBoxPublicMem->isChecked());
    EXPECT_EQ(gui->sliderRecentSteps->minimum(), 1);
    EXPECT_EQ(gui->sliderRecentSteps->maximum(), 200);
    EXPECT_EQ(gui->sliderRecentSteps->value(), 200);
    EXPECT_EQ(gui->sliderRecentSteps->pageStep(), 20);
    EXPECT_TRUE(gui->sliderRecentSteps->invertedAppearance());
    EXPECT_EQ(gui->comboBoxAgent->maxVisibleItems(), 200);
    EXPECT_TRUE(gui->buttonNext->isDefault());
    EXPECT_FALSE(gui->buttonNext->autoDefault());
    EXPECT_EQ(gui->buttonNext->font().pointSize(), 13);
    EXPECT_TRUE(gui->buttonNext->font().italic());
    EXPECT_TRUE(gui->buttonNext5->font().italic());
    EXPECT_EQ(gui->buttonNext->focusPolicy(), Qt::StrongFocus);
    // Keyboard focus chain, from "Next" on.
    const QWidget* order[] = {
        gui->buttonNext,         gui->buttonNext5,        gui->lineEditCenter,    gui->buttonCenterTypedPoint,
        gui->buttonCenter,       gui->comboBoxAgent,      gui->checkBoxGridLines, gui->checkBoxNeighbors,
        gui->checkBox1Agent,     gui->checkBoxHistory,    gui->checkBoxOthers,    gui->checkBoxPublicMem,
        gui->checkBoxPrivateMem, gui->checkBoxConsidered, gui->checkBoxGlobalMax, gui->checkBoxLocalMax,
        gui->sliderRecentSteps,  gui->buttonStartStop};
    const QWidget* w = order[0];
    for (size_t i = 1; i < sizeof order / sizeof order[0]; i++) {
        w = w->nextInFocusChain();
        EXPECT_EQ(w, order[i]) << "after " << order[i - 1]->objectName().toStdString();
        w = order[i];
    }
}

TEST_F(GuiTest, EachViewShowsOnlyItsControls) {
    open(VisTypeTerrain);
    for (QWidget* w :
         {(QWidget*)gui->buttonCenter, (QWidget*)gui->buttonCenterTypedPoint, (QWidget*)gui->lineEditCenter,
          (QWidget*)gui->checkBoxGridLines, (QWidget*)gui->checkBoxConsidered, (QWidget*)gui->checkBoxOthers})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_FALSE(gui->checkBoxNeighbors->isHidden());
    EXPECT_FALSE(gui->checkBoxGlobalMax->isHidden());
    EXPECT_EQ(gui->focusWidget(), gui->buttonNext);  // keyboard focus once the window is active

    open(VisTypeSphericalPolar, 9);
    for (QWidget* w :
         {(QWidget*)gui->checkBoxNeighbors, (QWidget*)gui->checkBoxGlobalMax, (QWidget*)gui->checkBoxLocalMax,
          (QWidget*)gui->checkBoxConsidered, (QWidget*)gui->checkBoxOthers})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_FALSE(gui->lineEditCenter->isHidden());
    EXPECT_EQ(gui->lineEditCenter->text(), "9");
}

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

TEST_F(GuiTest, NextStepsOnceAndNextFiveStepsFiveTimesWithOneRefresh) {
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
    EXPECT_EQ(vs->sim.getAgents()[0]->getFitnessValues(0).size(), 6u);
}

TEST_F(GuiTest, TheSliderChangesTheRecentStepsWithoutStepping) {
    open(VisTypeTerrain);
    gui->next5Steps();
    const int refreshes = dots()->getNumDotUpdates();
    gui->labelStep->setText("changed");
    gui->sliderRecentSteps->setValue(1);
    EXPECT_EQ(step(), 5u);
    EXPECT_EQ(gui->labelStep->text(), "Step: 5");
    EXPECT_EQ(dots()->getNumDotUpdates(), refreshes + 1);
    // History shows only the newest position now.
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

TEST_F(GuiTest, FlatPolarViewsHideTheShowGroupTheSliderAndItsLabelAndIgnoreTheAgentSelector) {
    for (VisualizationType t : {VisTypeRectangularPolar, VisTypeCircularPolar, VisTypeTwistedPolar}) {
        open(t);
        EXPECT_TRUE(gui->groupBoxShow->isHidden()) << t;
        EXPECT_TRUE(gui->sliderRecentSteps->isHidden()) << t;
        EXPECT_TRUE(gui->labelRecentSteps->isHidden()) << t;
        gui->comboBoxAgent->setCurrentIndex(2);
        EXPECT_EQ(vs->sim.getChosenAgent(), 0) << t;
        QTest::mouseClick(gui->buttonNext, Qt::LeftButton);
        EXPECT_EQ(gui->labelStep->text(), "Step: 1");
    }
}

TEST_F(GuiTest, TypingTheCurrentNorthPoleChangesNothingAndANonNumberCentresOnPointZero) {
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
}

TEST_F(GuiTest, CenterAtSelectionMakesTheSelectedVertexTheNorthPole) {
    open(VisTypeSphericalPolar, 0);
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

TEST_F(GuiTest, StartPauseStartRunsOneStepPerTick) {
    open(VisTypeTerrain);
    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    EXPECT_EQ(gui->buttonStartStop->text(), "Pause");
    EXPECT_GE(gui->getAnimTimerId(), 0);
    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    EXPECT_EQ(gui->buttonStartStop->text(), "Start");
    EXPECT_EQ(gui->getAnimTimerId(), -1);
    const unsigned int paused = step();
    QTest::qWait(700);
    EXPECT_EQ(step(), paused);

    QTest::mouseClick(gui->buttonStartStop, Qt::LeftButton);
    const int id = gui->getAnimTimerId();
    ASSERT_GE(id, 0);
    // One tick of the timer makes one step, however often the animation was started.
    vtkRenderWindowInteractor* iren = gui->getVisualization()->getRenderWindow()->GetInteractor();
    const unsigned int before = step();
    int tick = id;
    iren->InvokeEvent(vtkCommand::TimerEvent, &tick);
    EXPECT_EQ(step(), before + 1);
    int otherTimer = id + 1000;
    iren->InvokeEvent(vtkCommand::TimerEvent, &otherTimer);
    EXPECT_EQ(step(), before + 1);

    // And the real 300 ms timer: at most one step per period.
    QElapsedTimer clock;
    clock.start();
    const unsigned int start = step();
    QTest::qWait(1300);
    const unsigned int made = step() - start;
    EXPECT_GE(made, 1u);
    EXPECT_LE(made, (unsigned int)(clock.elapsed() / 300 + 1));
    EXPECT_EQ(gui->labelStep->text(), QString("Step: %1").arg(step()));
}

TEST_F(GuiTest, ExitClosesTheWindow) {
    open(VisTypeSphericalPolar);
    EXPECT_TRUE(gui->isVisible());
    gui->actionE_xit->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(gui->isVisible());
}

}  // namespace
