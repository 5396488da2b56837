// The flat polar views (see the header).
#include "polarvisualization.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkStructuredGrid.h>
#include <vtkStructuredGridGeometryFilter.h>

#include "simulation.h"
#include "viewpipeline.h"

RectangularPolarVisualization::RectangularPolarVisualization(Simulation& simulation, VisualizationType visType,
                                                             bool haveEndCaps)
    : Visualization(simulation, visType),
      mTerrainActor(vtkSmartPointer<vtkActor>::New()),
      mTerrainGrid(vtkSmartPointer<vtkStructuredGrid>::New()),
      mPointData(nullptr),
      mPointFitnessData(nullptr),
      mNumGridPoints(0),
      mHaveEndCaps(haveEndCaps),
      mGridResX(0),
      mGridResY(0),
      mScaleFactor(0.0),
      mScaleZFactor(1.0 / 7.0),
      mWallThickness(0.2),
      mShowCeiling(true),
      mLayout(mNumDims, visgeom::PolarShapeRectangular, haveEndCaps, 0.2) {
    setShape(visgeom::PolarShapeRectangular, 0.2, haveEndCaps, true);
}

RectangularPolarVisualization::~RectangularPolarVisualization() { mRenderer->RemoveActor(mTerrainActor); }

void RectangularPolarVisualization::setShape(visgeom::PolarShape shape, double wallThickness, bool haveEndCaps,
                                             bool showCeiling) {
    mWallThickness = wallThickness;
    mHaveEndCaps = haveEndCaps;
    mShowCeiling = showCeiling;
    mLayout = visgeom::PolarLayout(mNumDims, shape, haveEndCaps, wallThickness);
    mGridResX = mLayout.gridResX;
    mGridResY = mLayout.gridResY;
    mNumGridPoints = mLayout.numGridPoints;
}

CircularPolarVisualization::CircularPolarVisualization(Simulation& simulation, VisualizationType visType)
    : RectangularPolarVisualization(simulation, visType, false) {
    setShape(visgeom::PolarShapeCircular, 0.0, false, false);
}

TwistedPolarVisualization::TwistedPolarVisualization(Simulation& simulation, VisualizationType visType)
    : CircularPolarVisualization(simulation, visType) {
    setShape(visgeom::PolarShapeTwisted, 0.0, false, false);
}

void RectangularPolarVisualization::computeTerrain() {
    mLayout.compute([this](const Point& p) { return mLandscape.getFitnessValue(p); }, mPointData, mPointFitnessData);
}

void RectangularPolarVisualization::init() {
    Visualization::init();
    // Fitness 0 shows dark grey, so that low walls still stand out from the white floor.
    mColorTable->SetValueRange(0.25, 1.0);
    mColorTable->Build();
    mRenderer->SetBackground(1, 1, 1);

    mTerrainGrid->SetDimensions((int)mGridResX, (int)mGridResY, 1);
    const viewpipeline::GridArrays arrays = viewpipeline::createGridArrays(mNumGridPoints);
    mPointData = arrays.vertexData;
    mPointFitnessData = arrays.fitnessData;
    mScaleFactor = mLayout.scaleFactor;
    mScaleZFactor = mLayout.scaleZFactor;
    computeTerrain();
    mTerrainGrid->SetPoints(arrays.points);
    mTerrainGrid->GetPointData()->SetScalars(arrays.fitness);

    vtkNew<vtkStructuredGridGeometryFilter> filter;
    filter->SetInputData(mTerrainGrid);
    filter->SetExtent(0, (int)mGridResX - 1, 0, (int)mGridResY - 1, 0, 0);
    viewpipeline::showSurface(mRenderer, filter->GetOutputPort(), mColorTable, mTerrainActor);
    vtkProperty* prop = mTerrainActor->GetProperty();
    prop->SetEdgeColor(0, 0, 0.7);
    prop->SetLineStipplePattern(0x1111);
    prop->EdgeVisibilityOn();

    if (mShowCeiling) createBoundingBox(0, (mNumDims - 1 + mWallThickness) / mNumDims, 0, 1, 0, mScaleZFactor);
    viewpipeline::setObliqueCamera(mRenderer);
    mRenderer->SetBackground(1, 1, 1);
}

void RectangularPolarVisualization::update() {
    // Crowding changes the fitness along the paths from step to step.
    computeTerrain();
    viewpipeline::markModified(mTerrainGrid);
}
