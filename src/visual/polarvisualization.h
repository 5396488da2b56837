// The flat polar views: the landscape along the N bit-flip paths from point 0 to the
// all-ones point, each path a wall whose top follows fitness. Parallel walls (rectangular),
// walls that bow out and meet at both ends (circular), and the same sheared (twisted).
#pragma once

#include <vtkActor.h>
#include <vtkSmartPointer.h>

#include "visualgeometry.h"
#include "visualization.h"

class vtkStructuredGrid;

class RectangularPolarVisualization : public Visualization {
public:
    RectangularPolarVisualization(Simulation& simulation, VisualizationType visType, bool haveEndCaps);
    ~RectangularPolarVisualization() override;

    void init() override;
    void update() override;
    void updateOnRender() override {}
    // Writes every wall vertex and scalar for the current fitness.
    virtual void computeTerrain();

    const visgeom::PolarLayout& getLayout() const { return mLayout; }
    const float* getVertex(int index) const { return mPointData + 3 * (size_t)index; }
    float getVertexScalar(int index) const { return mPointFitnessData[index]; }
    vtkActor* getTerrainActor() const { return mTerrainActor; }

protected:
    vtkSmartPointer<vtkActor> mTerrainActor;
    vtkSmartPointer<vtkStructuredGrid> mTerrainGrid;
    float* mPointData;
    float* mPointFitnessData;
    int mNumGridPoints;
    bool mHaveEndCaps;
    unsigned mGridResX;
    unsigned mGridResY;
    double mScaleFactor;
    double mScaleZFactor;
    double mWallThickness;
    bool mShowCeiling;
    visgeom::PolarLayout mLayout;

    // Subclasses change the layout's shape and thickness before init().
    void setShape(visgeom::PolarShape shape, double wallThickness, bool haveEndCaps, bool showCeiling);
};

class CircularPolarVisualization : public RectangularPolarVisualization {
public:
    CircularPolarVisualization(Simulation& simulation, VisualizationType visType);
};

class TwistedPolarVisualization : public CircularPolarVisualization {
public:
    TwistedPolarVisualization(Simulation& simulation, VisualizationType visType);
};
