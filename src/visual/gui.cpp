// The main window of visual mode (see the header).
#include "gui.h"

#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>

#include "agent.h"
#include "polarvisualization.h"
#include "simulation.h"
#include "sphericalvisualization.h"
#include "terrainvisualization.h"
#include "util.h"

GUI::GUI(Simulation& simulation, VisualizationType visType, long northPole, bool followAgent, FollowMode followMode)
    : QMainWindow(nullptr),
      mSimulation(simulation),
      mTerrainVisualization(nullptr),
      mSphericalPolarVisualization(nullptr),
      mDotVisualization(nullptr),
      mVisType(visType),
      mFollowAgent(followAgent),
      mFollowAgentMode(followMode),
      animTimerId(-1) {
    setupUi(this);
    createView(visType, northPole);
    mVisualization->init();
    qVTKMain->setRenderWindow(mVisualization->getRenderWindow());
    wireControls();
}

namespace {
// Hands `view` to `owner` and returns it as its own type.
template <class View>
View* own(std::unique_ptr<Visualization>& owner, std::unique_ptr<View> view) {
    View* typed = view.get();
    owner = std::move(view);
    return typed;
}
}  // namespace

void GUI::createView(VisualizationType visType, long northPole) {
    switch (visType) {
        case VisTypeTerrain:
            mTerrainVisualization = own(mVisualization, std::make_unique<TerrainVisualization>(mSimulation));
            mDotVisualization = mTerrainVisualization;
            break;
        case VisTypeRectangularPolar:
            own(mVisualization, std::make_unique<RectangularPolarVisualization>(mSimulation, visType, true));
            break;
        case VisTypeCircularPolar:
            own(mVisualization, std::make_unique<CircularPolarVisualization>(mSimulation, visType));
            break;
        case VisTypeTwistedPolar:
            own(mVisualization, std::make_unique<TwistedPolarVisualization>(mSimulation, visType));
            break;
        case VisTypeSphericalPolar:
            mSphericalPolarVisualization =
                own(mVisualization, std::make_unique<SphericalPolarVisualization>(mSimulation, northPole, visType));
            mDotVisualization = mSphericalPolarVisualization;
            break;
        default:
            NK_FATAL(Internal, "No landscape view of type %d\n", (int)visType);
    }
}

GUI::~GUI() {
    if (vtkRenderWindowInteractor* iren = mVisualization->getRenderWindow()->GetInteractor()) {
        if (animTimerId >= 0) iren->DestroyTimer(animTimerId);
        if (mAnimCallback) iren->RemoveObserver(mAnimCallback);
    }
}

void GUI::wireControls() {
    // Filled before any combo-box signal is connected, so filling does not choose an agent.
    const int nAgents = (int)mSimulation.getAgents().size();
    for (int i = 1; i <= nAgents; i++) comboBoxAgent->addItem(QString::asprintf("Agent %d", i));

    connect(buttonNext, SIGNAL(clicked()), this, SLOT(nextStep()));
    connect(buttonNext5, SIGNAL(clicked()), this, SLOT(next5Steps()));
    connect(buttonStartStop, SIGNAL(clicked()), this, SLOT(animToggle()));

    checkBoxConsidered->hide();
    checkBoxOthers->hide();

    if (mVisType == VisTypeTerrain || mVisType == VisTypeSphericalPolar) {
        wireDotControls();
    } else {
        groupBoxShow->hide();
        sliderRecentSteps->hide();
        labelRecentSteps->hide();
    }
    buttonNext->setFocus();
}

void GUI::wireDotControls() {
    connect(sliderRecentSteps, SIGNAL(valueChanged(int)), this, SLOT(handleNumRecentStepsChange(int)));
    connect(checkBoxPublicMem, SIGNAL(toggled(bool)), this, SLOT(togglePublicMemDots(bool)));
    connect(checkBoxPrivateMem, SIGNAL(toggled(bool)), this, SLOT(togglePrivateMemDots(bool)));
    connect(checkBox1Agent, SIGNAL(toggled(bool)), this, SLOT(toggle1Agent(bool)));
    connect(comboBoxAgent, SIGNAL(currentIndexChanged(int)), this, SLOT(handleChosenAgentChange(int)));
    connect(checkBoxHistory, SIGNAL(toggled(bool)), this, SLOT(toggleHistory(bool)));
    if (mVisType == VisTypeSphericalPolar) {
        connect(checkBoxConsidered, SIGNAL(toggled(bool)), this, SLOT(toggleConsidered(bool)));
        connect(checkBoxOthers, SIGNAL(toggled(bool)), this, SLOT(toggleConsideredOthers(bool)));
        connect(buttonCenter, SIGNAL(clicked()), this, SLOT(centerSelectedPoint()));
        connect(buttonCenterTypedPoint, SIGNAL(clicked()), this, SLOT(handleNorthPoleTextEdit()));
        connect(lineEditCenter, SIGNAL(editingFinished()), this, SLOT(handleNorthPoleTextEdit()));
        connect(checkBoxGridLines, SIGNAL(toggled(bool)), this, SLOT(setGridLinesVisibility(bool)));
        showNorthPole();
        checkBoxNeighbors->hide();
        checkBoxGlobalMax->hide();
        checkBoxLocalMax->hide();
    } else {
        connect(checkBoxGlobalMax, SIGNAL(toggled(bool)), this, SLOT(toggleGlobalMax(bool)));
        connect(checkBoxLocalMax, SIGNAL(toggled(bool)), this, SLOT(toggleLocalMax(bool)));
        connect(checkBoxNeighbors, SIGNAL(toggled(bool)), this, SLOT(toggleNeighborArcs(bool)));
        buttonCenter->hide();
        buttonCenterTypedPoint->hide();
        lineEditCenter->hide();
        checkBoxGridLines->hide();
    }
}

// ---- stepping ---------------------------------------------------------------------------

void GUI::steps(int count) {
    for (int i = 0; i < count; i++) {
        mSimulation.executeOneStep();
        mSimulation.updateFitnessValues();
    }
    followUpdate();
    refresh();
}

void GUI::nextStep() { steps(1); }

void GUI::next5Steps() { steps(5); }

void GUI::animTick() { steps(1); }

void GUI::refresh() {
    mVisualization->update();
    repaintView();
    labelStep->setText(QString::asprintf("Step: %u", mSimulation.getCurrentStep()));
}

void GUI::repaintView() { mVisualization->getRenderWindow()->Render(); }

void GUI::followUpdate() {
    if (mVisType != VisTypeSphericalPolar || !mFollowAgent) return;
    const auto& agents = mSimulation.getAgents();
    const int id = mSimulation.getChosenAgent();
    if (id < 0 || id >= (int)agents.size()) return;
    const bool searchStart =
        mFollowAgentMode == FollowModeFixedAgentSearchStart || mFollowAgentMode == FollowModeMovingAgentSearchStart;
    const Point& p = searchStart ? agents[id]->getSearchStartPoint() : agents[id]->getLastPoint();
    // Before its first move an agent stands nowhere; the view stays where it is.
    if (p.values < 0) return;
    mSphericalPolarVisualization->centerPoint(p.values, mFollowAgentMode == FollowModeFixedAgent);
    showNorthPole();
    repaintView();
}

void GUI::showNorthPole() {
    lineEditCenter->setText(QString::asprintf("%ld", mSphericalPolarVisualization->northPolePoint()));
}

// ---- animation --------------------------------------------------------------------------

void GUI::animToggle() {
    vtkRenderWindowInteractor* iren = mVisualization->getRenderWindow()->GetInteractor();
    if (!iren) return;
    if (animTimerId < 0) {
        if (!mAnimCallback) {
            mAnimCallback.TakeReference(AnimTimerCallback::New(this));
            iren->AddObserver(vtkCommand::TimerEvent, mAnimCallback);
        }
        animTimerId = iren->CreateRepeatingTimer(300);
        buttonStartStop->setText("Pause");
    } else {
        iren->DestroyTimer(animTimerId);
        animTimerId = -1;
        buttonStartStop->setText("Start");
    }
}

AnimTimerCallback* AnimTimerCallback::New(GUI* gui) {
    AnimTimerCallback* c = new AnimTimerCallback;
    c->gui = gui;
    return c;
}

void AnimTimerCallback::Execute(vtkObject*, unsigned long eventId, void* callData) {
    // Other timers of the interactor (the camera styles use them) are not ours.
    if (eventId != vtkCommand::TimerEvent || !callData) return;
    const int timerId = *static_cast<int*>(callData);
    if (timerId == gui->getAnimTimerId()) gui->animTick();
}

// ---- controls ---------------------------------------------------------------------------

void GUI::handleNumRecentStepsChange(int newValue) {
    mVisualization->setNumRecentSteps(newValue);
    refresh();
}

void GUI::centerSelectedPoint() {
    mSphericalPolarVisualization->centerSelectedPoint();
    showNorthPole();
    repaintView();
}

void GUI::handleChosenAgentChange(int id) {
    mSimulation.setChosenAgent(id);
    followUpdate();
    refresh();
}

void GUI::handleNorthPoleTextEdit() {
    bool ok = false;
    const long value = lineEditCenter->text().toLong(&ok, 10);  // 0 when not a number
    if (value == mSphericalPolarVisualization->northPolePoint()) return;
    mSphericalPolarVisualization->centerPoint(value, true);
    showNorthPole();
    repaintView();
}

Visualization* GUI::getVisualization() { return mVisualization.get(); }

void GUI::toggleNeighborArcs(bool newState) {
    mTerrainVisualization->toggleNeighborArcs(newState);
    repaintView();
}

void GUI::togglePublicMemDots(bool newState) {
    mDotVisualization->toggleMemoryDots(MemTypePublic, newState);
    repaintView();
}

void GUI::togglePrivateMemDots(bool newState) {
    mDotVisualization->toggleMemoryDots(MemTypePrivate, newState);
    repaintView();
}

void GUI::toggle1Agent(bool newState) {
    mDotVisualization->toggle1Agent(newState);
    repaintView();
}

void GUI::toggleGlobalMax(bool newState) {
    mDotVisualization->toggleGlobalMax(newState);
    repaintView();
}

void GUI::toggleLocalMax(bool newState) {
    mDotVisualization->toggleLocalMax(newState);
    repaintView();
}

void GUI::toggleHistory(bool newState) {
    mDotVisualization->toggleAgentHistory(newState);
    repaintView();
}

void GUI::toggleConsidered(bool newState) {
    mDotVisualization->toggleAgentConsidered(newState);
    repaintView();
}

void GUI::toggleConsideredOthers(bool newState) {
    mDotVisualization->toggleAgentConsideredOthers(newState);
    repaintView();
}

void GUI::setGridLinesVisibility(bool newState) {
    mSphericalPolarVisualization->setGridLinesVisibility(newState);
    repaintView();
}
