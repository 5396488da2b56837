// The flat polar views (see the header).
#include "polarvisualization.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkStructuredGrid.h>
#include <vtkStructuredGridGeometryFilter.h>

#include "simulation.h"

RectangularPolarVisualization::RectangularPolarVisualization(Simulation& simulation, VisualizationType visType,
                                                             bool haveEndCaps)
    : Visualization(simulation, visType),
      mTerrainActor(vtkActor::New()),
      mTerrainGrid(vtkStructuredGrid::New()),
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

RectangularPolarVisualization::~RectangularPolarVisualization() {
    mRenderer->RemoveActor(mTerrainActor);
    mTerrainActor->Delete();
    mTerrainGrid->Delete();
}

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
    vtkPoints* points = vtkPoints::New();
    points->SetDataTypeToFloat();
    points->SetNumberOfPoints(mNumGridPoints);
    mPointData = static_cast<float*>(points->GetVoidPointer(0));
    vtkFloatArray* scalars = vtkFloatArray::New();
    scalars->SetNumberOfValues(mNumGridPoints);
    mPointFitnessData = scalars->GetPointer(0);
    mScaleFactor = mLayout.scaleFactor;
    mScaleZFactor = mLayout.scaleZFactor;
    computeTerrain();
    mTerrainGrid->SetPoints(points);
    mTerrainGrid->GetPointData()->SetScalars(scalars);
    points->Delete();
    scalars->Delete();

    vtkStructuredGridGeometryFilter* filter = vtkStructuredGridGeometryFilter::New();
    filter->SetInputData(mTerrainGrid);
    filter->SetExtent(0, (int)mGridResX - 1, 0, (int)mGridResY - 1, 0, 0);
    vtkPolyDataMapper* mapper = vtkPolyDataMapper::New();
    mapper->SetInputConnection(filter->GetOutputPort());
    mapper->SetScalarRange(0, 1);
    mapper->ScalarVisibilityOn();
    mapper->SetLookupTable(mColorTable);
    mTerrainActor->SetMapper(mapper);
    vtkProperty* prop = mTerrainActor->GetProperty();
    prop->LightingOff();
    prop->SetEdgeColor(0, 0, 0.7);
    prop->SetLineStipplePattern(0x1111);
    prop->EdgeVisibilityOn();
    mRenderer->AddActor(mTerrainActor);
    mapper->Delete();
    filter->Delete();

    if (mShowCeiling) createBoundingBox(0, (mNumDims - 1 + mWallThickness) / mNumDims, 0, 1, 0, mScaleZFactor);

    vtkCamera* camera = vtkCamera::New();
    camera->SetPosition(0.5, 0.7, 0.3);
    camera->SetFocalPoint(0.5, 1.0, 0.0);
    mRenderer->SetActiveCamera(camera);
    mRenderer->ResetCamera();
    camera->Dolly(1.3);
    camera->SetClippingRange(0.1, camera->GetClippingRange()[1]);
    camera->Delete();
    mRenderer->SetBackground(1, 1, 1);
}

void RectangularPolarVisualization::update() {
    // Crowding changes the fitness along the paths from step to step.
    computeTerrain();
    mTerrainGrid->GetPoints()->Modified();
    mTerrainGrid->GetPointData()->GetScalars()->Modified();
    mTerrainGrid->Modified();
}
