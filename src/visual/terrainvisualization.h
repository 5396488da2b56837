// The terrain view: every point of the landscape as one vertex of a Gray-coded height field,
// with grid lines, a selectable vertex with its caption and arcs to its far neighbours, and
// the maxima that the dots show.
#pragma once

#include <vtkActor.h>
#include <vtkCaptionActor2D.h>
#include <vtkSmartPointer.h>

#include <memory>
#include <vector>

#include "dotvisualization.h"
#include "visualgeometry.h"

class vtkStructuredGrid;

class TerrainVisualization : public virtual Visualization, public DotVisualization {
public:
    // Above visgeom::kMaxTerrainDims bits an internal error (the driver refuses such N first).
    explicit TerrainVisualization(Simulation& simulation);
    ~TerrainVisualization() override;

    void init() override;
    virtual void initTerrainCoords();
    void update() override;
    void updateOnRender() override;
    bool handleClick(int x, int y) override;
    virtual void initCamera();
    void postUpdateDots() override;
    void insertPointDot(const Point& point, DotType dotType, std::vector<double>* coords) override;

    unsigned long pointNDimToGridIndex(unsigned long point) const { return mGridMap.gridIndex(point); }
    void pointNDimToGridRowColumn(unsigned long point, unsigned& row, unsigned& col) const {
        mGridMap.gridRowColumn(point, row, col);
    }
    void toggleNeighborArcs(bool on);
    void updateGridLineColor();

    unsigned long getSelectedGridIndex() const { return mSelectedPntGridIndex; }
    unsigned long getSelectedPoint() const { return mPointNDimCoords[mSelectedPntGridIndex]; }
    // Vertex position (3 floats) and fitness of a grid index.
    const float* getVertex(unsigned long gridIndex) const { return mPointData + 3 * gridIndex; }
    float getVertexFitness(unsigned long gridIndex) const { return mPointFitnessData[gridIndex]; }
    int getNumArcs() const { return mNumArcs; }
    double getAvgFitness() const { return mAvgFitness; }
    const std::vector<Point>& getLocalMaxPoints() const { return mLocalMaxPoints; }
    Point getGlobalMaxPoint() const { return mGlobalMaxPoint; }
    vtkActor* getTerrainActor() const { return mTerrainActor; }
    vtkActor* getGridLinesActor() const { return mGridLinesActor; }
    vtkCaptionActor2D* getCaptionActor() const { return mCaptionActor; }

private:
    visgeom::TerrainGridMap mGridMap;
    int mNumDimsX;
    int mNumDimsY;
    unsigned mGridResX;
    unsigned mGridResY;
    bool mNeighborArcsOn;
    int mNumArcs;
    unsigned long mSelectedPntGridIndex;
    double mScaleFactor;
    double mScaleZFactor;
    vtkSmartPointer<vtkStructuredGrid> mTerrainGrid;
    float* mPointData;
    float* mPointFitnessData;
    std::vector<unsigned long> mPointNDimCoords;
    long mNumGridPoints;
    double mAvgFitness;
    std::vector<vtkSmartPointer<vtkActor>> mArcActors;
    vtkSmartPointer<vtkActor> mGridLinesActor;
    vtkSmartPointer<vtkActor> mTerrainActor;
    vtkSmartPointer<vtkCaptionActor2D> mCaptionActor;
    std::unique_ptr<DotGroup> mSelectedPointGroup;

    void createTerrainGridLines();
    // Adds the arc from the selected vertex `vs` to vertex `vq` of fitness f, `gridDist` grid
    // steps away, as the next arc actor.
    void addNeighborArc(const float* vs, const float* vq, double f, int gridDist);
    void createNeighborArcs();
    void createSelectedPointDot();
    void updateTerrainCoords();
    void updateMaxPoints();
    void markGridModified();
};
