// The main window of visual mode: a 3-D view of the landscape above the step controls, the
// agent selector and the dot switches. Steps are made by button or by a 300 ms timer.
#pragma once

#include <vtkCommand.h>
#include <vtkSmartPointer.h>
#include <QMainWindow>

#include <memory>

#include "ui_gui.h"
#include "viewtypes.h"

class Simulation;
class Visualization;
class TerrainVisualization;
class RectangularPolarVisualization;
class CircularPolarVisualization;
class TwistedPolarVisualization;
class SphericalPolarVisualization;
class DotVisualization;
class AnimTimerCallback;

class GUI : public QMainWindow, public Ui::GUI {
    Q_OBJECT

public:
    // A type that is not a view is an internal error (the command line checks it).
    GUI(Simulation& simulation, VisualizationType visType, long northPole, bool followAgent, FollowMode followMode);
    ~GUI() override;

    int getAnimTimerId() const { return animTimerId; }
    // One animation tick: the same step and refresh as "Next".
    void animTick();

public slots:
    void nextStep();
    void next5Steps();
    void animToggle();
    void handleNumRecentStepsChange(int newValue);
    void centerSelectedPoint();
    void handleChosenAgentChange(int id);
    void handleNorthPoleTextEdit();
    Visualization* getVisualization();
    void toggleNeighborArcs(bool newState);
    void togglePublicMemDots(bool newState);
    void togglePrivateMemDots(bool newState);
    void toggle1Agent(bool newState);
    void toggleGlobalMax(bool newState);
    void toggleLocalMax(bool newState);
    void toggleHistory(bool newState);
    void toggleConsidered(bool newState);
    void toggleConsideredOthers(bool newState);
    void setGridLinesVisibility(bool newState);

private:
    Simulation& mSimulation;
    std::unique_ptr<Visualization> mVisualization;
    // The view again, as its own type (null for the other types).
    TerrainVisualization* mTerrainVisualization;
    SphericalPolarVisualization* mSphericalPolarVisualization;
    DotVisualization* mDotVisualization;
    VisualizationType mVisType;
    bool mFollowAgent;
    FollowMode mFollowAgentMode;
    int animTimerId;
    // Registered once, at the first start, so that a tick never runs twice.
    vtkSmartPointer<AnimTimerCallback> mAnimCallback;

    // The view of type `visType`.
    void createView(VisualizationType visType, long northPole);
    void wireControls();
    void wireDotControls();
    void steps(int count);
    void followUpdate();
    void refresh();
    void repaintView();
    void showNorthPole();
};

// Runs one animation step per tick of the window's timer.
class AnimTimerCallback : public vtkCommand {
public:
    static AnimTimerCallback* New(GUI* gui);
    void Execute(vtkObject* caller, unsigned long eventId, void* callData) override;
    GUI* gui = nullptr;
};
