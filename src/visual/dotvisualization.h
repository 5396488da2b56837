// Coloured dots over a landscape view (memories, the chosen agent's path and considered
// points, maxima) with their looks and the legend. A mix-in: the concrete view places dots.
#pragma once

#include <vtkActor.h>
#include <vtkLegendBoxActor.h>
#include <vtkSmartPointer.h>

#include <memory>
#include <string>
#include <vector>

#include "constants.h"
#include "viewtypes.h"
#include "visualgeometry.h"
#include "visualization.h"

class Memory;
class vtkPoints;
class vtkPolyData;
class vtkPolyDataMapper2D;

// One look of dots.
struct DotProperties {
    double color[4];  // red, green, blue, opacity
    int glyphType;    // vtkGlyphSource2D type: 5 triangle, 6 square, 7 circle
    std::string name;
    double sizeMultiplier;

    DotProperties(double r, double g, double b, double a, int glyphType, const std::string& name,
                  double sizeMultiplier);
};

// Any number of dots with one look, drawn by one actor.
class DotGroup {
public:
    DotGroup(vtkRenderer* renderer, int numPoints, const double* coords, const DotProperties& props);
    DotGroup(vtkRenderer* renderer, int numPoints, const double* coords, double r, double g, double b, double opacity,
             int glyphType);
    ~DotGroup();
    DotGroup(const DotGroup&) = delete;
    DotGroup& operator=(const DotGroup&) = delete;

    // Called on every render; dots keep a fixed size, so there is nothing to adjust.
    void update(bool, int) {}

    vtkActor* getActor() const { return mActor; }
    int getNumPoints() const;

private:
    vtkRenderer* mRenderer;
    vtkSmartPointer<vtkActor> mActor;
    vtkSmartPointer<vtkPoints> mPoints;

    void init(int numPoints, const double* coords, const DotProperties& props);
};

// A legend box whose per-entry symbol mappers are reachable, so that each symbol can be
// coloured through a lookup table.
class CustomLegendBoxActor : public vtkLegendBoxActor {
public:
    static CustomLegendBoxActor* New();
    vtkTypeMacro(CustomLegendBoxActor, vtkLegendBoxActor);
    vtkPolyDataMapper2D* GetSymbolMapper(int i);

protected:
    CustomLegendBoxActor() = default;
    ~CustomLegendBoxActor() override = default;

private:
    CustomLegendBoxActor(const CustomLegendBoxActor&) = delete;
    void operator=(const CustomLegendBoxActor&) = delete;
};

class DotVisualization : public virtual Visualization {
public:
    DotVisualization(Simulation& simulation, VisualizationType visType);
    ~DotVisualization() override;

    // Stores the count only; the caller follows with update().
    void setNumRecentSteps(int n) override { mNumRecentSteps = n; }
    // After all groups are rebuilt.
    virtual void postUpdateDots() {}
    // Appends the world position (x, y, z) of the dot for `point` to `coords`.
    virtual void insertPointDot(const Point& point, DotType dotType, std::vector<double>* coords) {
        (void)point;
        (void)dotType;
        (void)coords;
    }

    // Each toggle stores its switch and rebuilds the dots at once.
    void toggleMemoryDots(MemType type, bool on);
    void toggleAgentHistory(bool on);
    void toggleAgentConsidered(bool on);
    void toggleAgentConsideredOthers(bool on);
    void toggle1Agent(bool on);
    void toggleGlobalMax(bool on);
    void toggleLocalMax(bool on);

    // Rebuilds all dot groups and the legend from the simulation's current state.
    void updatePointDots();
    void addDotsForPointList(const std::vector<Point>& points, int start, int count, DotType dotType,
                             std::vector<double>& coords);
    void removeAllDotGroups();
    void createLegendBox();

    visgeom::DotSwitches dotSwitches() const;
    int getNumDotGroups() const { return mNumDotGroups; }
    const DotGroup* getDotGroup(int i) const { return mDotGroups[i].get(); }
    const std::vector<DotProperties>& getLegendItems() const { return legendItems; }
    CustomLegendBoxActor* getLegendActor() const { return mLegendActor; }
    // How often the dots were rebuilt (a refresh rebuilds them once).
    int getNumDotUpdates() const { return mNumDotUpdates; }

    static DotProperties dotProps[DotTypeNum];

protected:
    vtkSmartPointer<CustomLegendBoxActor> mLegendActor;
    std::vector<DotProperties> legendItems;
    std::unique_ptr<DotGroup> mDotGroups[DotTypeNum];
    int mNumDotGroups;
    bool mMemoryDotsOn[MemTypeNum];
    bool mAgentHistoryDotsOn;
    bool mAgentConsideredDotsOn;
    bool mAgentConsideredDotsOthersOn;
    bool mOnly1Agent;
    bool mGlobalMaxOn;
    bool mLocalMaxOn;
    int mNumRecentSteps;
    std::vector<Point> mLocalMaxPoints;
    Point mGlobalMaxPoint;
    int mNumDotUpdates = 0;

    bool anyDotsShown() const { return dotSwitches().anyShown(); }

private:
    // The legend's symbol for entry i of n: the entry's glyph, coloured through the legend's
    // lookup table by the scalar i / n.
    vtkSmartPointer<vtkPolyData> legendSymbol(int i, int n) const;
};
