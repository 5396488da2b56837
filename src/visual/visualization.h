// Common base of the landscape views: render window, renderer and grey colour map, the VTK
// event callbacks that route clicks and renders back to the view, and the chosen agent's
// fitness plot window.
#pragma once

#include <vtkCommand.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>
#include <vtkXYPlotActor.h>

#include <vector>

#include "viewtypes.h"

class Simulation;
class Landscape;
class vtkLookupTable;
class vtkDataObject;

class Visualization {
public:
    Visualization(Simulation& simulation, VisualizationType visType);
    virtual ~Visualization();
    Visualization(const Visualization&) = delete;
    Visualization& operator=(const Visualization&) = delete;

    // Derived views build their geometry first, then call this base part.
    virtual void init();
    // After a step, a change of chosen agent or recent-steps count, or a click.
    virtual void update() {}
    // On every render of the main window.
    virtual void updateOnRender() {}
    // A click (press and release without moving) at display pixel (x, y); true on a hit.
    virtual bool handleClick(int x, int y) {
        (void)x;
        (void)y;
        return false;
    }
    virtual void setNumRecentSteps(int n) { (void)n; }

    // Once the main window has an interactor (first render): click and render observers.
    void initInteractorCallbacks();
    // A box with only its edges drawn (no labels, no ticks).
    void createBoundingBox(double xmin, double xmax, double ymin, double ymax, double zmin, double zmax);
    // Creates the plot window at the first step and redraws the chosen agent's fitness.
    void updateXYPlotWindow();

    vtkRenderer* getRenderer() const { return mRenderer; }
    vtkRenderWindow* getRenderWindow() const { return mRenWin; }
    VisualizationType getVisualizationType() const { return mVisType; }
    // The plot window, null before the first step.
    vtkRenderWindow* getXYPlotRenderWindow() const { return mXYPlotRenWin; }
    vtkXYPlotActor* getXYPlotActor() const { return mXYPlotActor; }

protected:
    const Simulation& mSimulation;
    // The views never change the simulation, but a fitness look-up stamps the landscape's
    // cache; this is the one non-const path into the simulation.
    Landscape& mLandscape;
    VisualizationType mVisType;
    int mNumDims;
    vtkSmartPointer<vtkRenderWindow> mRenWin;
    vtkSmartPointer<vtkRenderer> mRenderer;
    vtkSmartPointer<vtkLookupTable> mColorTable;
    vtkSmartPointer<vtkRenderWindow> mXYPlotRenWin;
    vtkSmartPointer<vtkRenderer> mXYPlotRenderer;
    vtkSmartPointer<vtkXYPlotActor> mXYPlotActor;
    vtkSmartPointer<vtkDataObject> mXYPlotData;

    // Crowded fitness of a point, as the agents see it now.
    double fitnessOf(long point) const;

private:
    vtkSmartPointer<vtkCommand> mStartCallback;
    vtkSmartPointer<vtkCommand> mRenderCallback;
    vtkSmartPointer<vtkCommand> mMouseCallback;

    void createXYPlotWindow(unsigned int step);
    // Replaces the plotted curve with `values` over steps 0, 1, ...
    void setXYPlotData(const std::vector<double>& values);
};

// First render of the main window: installs the interactor callbacks, then removes itself.
class VisStartCallback : public vtkCommand {
public:
    static VisStartCallback* New(Visualization* vis);
    void Execute(vtkObject* caller, unsigned long eventId, void* callData) override;
    Visualization* mVisualization = nullptr;
};

// Every render of the main window.
class VisRenderCallback : public vtkCommand {
public:
    static VisRenderCallback* New(Visualization* vis);
    void Execute(vtkObject* caller, unsigned long eventId, void* callData) override;
    Visualization* mVisualization = nullptr;
};

// Tells a click from a camera drag: a press and release with no movement between them is a
// click. Observing the style replaces its handlers, so every event is passed on to it.
class VisMouseCallback : public vtkCommand {
public:
    static VisMouseCallback* New(Visualization* vis);
    void Execute(vtkObject* caller, unsigned long eventId, void* callData) override;
    Visualization* mVisualization = nullptr;
    bool mMousePointerMoved = false;
};
