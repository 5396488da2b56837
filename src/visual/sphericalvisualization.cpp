// The spherical view (see the header).
#include "sphericalvisualization.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCaptionActor2D.h>
#include <vtkCellType.h>
#include <vtkDataSetSurfaceFilter.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPointPicker.h>
#include <vtkPoints.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkProperty2D.h>
#include <vtkRenderer.h>
#include <vtkTextProperty.h>
#include <vtkUnstructuredGrid.h>
#include <vtkUnstructuredGridGeometryFilter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "simulation.h"
#include "viewpipeline.h"

SphericalPolarVisualization::SphericalPolarVisualization(Simulation& simulation, long northPolePoint,
                                                         VisualizationType visType)
    : Visualization(simulation, visType),
      DotVisualization(simulation, visType),
      mLayout((int)simulation.getParameters().n),
      mTerrainActor(vtkSmartPointer<vtkActor>::New()),
      mCaptionActor(vtkSmartPointer<vtkCaptionActor2D>::New()),
      mNorthPolePoint(northPolePoint & (long)((1UL << simulation.getParameters().n) - 1)),
      mSelectedTheta(0.0),
      mSelectedPhi(0.0),
      mSelectedPntInd(0),
      mSelectionDotCoords{0, 0, 0},
      mTerrainGrid(vtkSmartPointer<vtkUnstructuredGrid>::New()),
      mPointFitnessData(nullptr),
      mNumGridPoints(0),
      mScaleFactor(0.0),
      mScaleZFactor(0.03),
      mBaseRadius(0.2),
      mCellsInserted(false) {
    mAgentHistoryDotsOn = true;
}

SphericalPolarVisualization::~SphericalPolarVisualization() {
    mSelectedPointGroup.reset();
    mRenderer->RemoveActor2D(mCaptionActor);
    mRenderer->RemoveActor(mTerrainActor);
}

vtkIdType SphericalPolarVisualization::getNumberOfCells() const { return mTerrainGrid->GetNumberOfCells(); }

void SphericalPolarVisualization::init() {
    Visualization::init();
    mNumGridPoints = mLayout.numGridPoints;
    mSelectedPntInd = mLayout.northPoleIndex();
    const viewpipeline::GridArrays arrays = viewpipeline::createGridArrays(mNumGridPoints);
    mPoints = arrays.points;
    mPointFitnessData = arrays.fitnessData;
    mScaleFactor = 1.0 / mNumDims;
    mScaleZFactor = 0.03;

    computeTerrain(true);
    mTerrainGrid->SetPoints(mPoints);
    mTerrainGrid->GetPointData()->SetScalars(arrays.fitness);

    vtkNew<vtkUnstructuredGridGeometryFilter> geometry;
    geometry->SetInputData(mTerrainGrid);
    vtkNew<vtkDataSetSurfaceFilter> surface;
    surface->SetInputConnection(geometry->GetOutputPort());
    viewpipeline::showSurface(mRenderer, surface->GetOutputPort(), mColorTable, mTerrainActor);
    vtkProperty* prop = mTerrainActor->GetProperty();
    prop->SetEdgeColor(0, 0, 0.7);
    prop->SetLineStipplePattern(0x1111);

    mRenderer->ResetCamera();
    vtkCamera* camera = mRenderer->GetActiveCamera();
    camera->Elevation(-15);
    camera->OrthogonalizeViewUp();
    camera->Dolly(1.3);
    camera->SetClippingRange(0.1, camera->GetClippingRange()[1]);
    mRenderer->SetBackground(0.9, 0.9, 0.9);
    prop->EdgeVisibilityOn();
    update();
}

void SphericalPolarVisualization::computeTerrain(bool selectNorthPole) {
    mLayout.computeVertices(
        mNorthPolePoint, [this](const Point& p) { return mLandscape.getFitnessValue(p); }, mBaseRadius, mScaleZFactor,
        mNDimPoints, mPositions, mPointFitnessData);
    mPoints->SetNumberOfPoints(mNumGridPoints);
    for (int i = 0; i < mNumGridPoints; i++) mPoints->SetPoint(i, &mPositions[3 * (size_t)i]);

    if (selectNorthPole) {
        const int np = mLayout.northPoleIndex();
        selectPoint(np, mBaseRadius + mScaleZFactor * mPointFitnessData[np], 0, 0);
        mSelectedTheta = mSelectedPhi = 0.0;
    }

    // The cells depend only on N; later computations move their corners only.
    if (!mCellsInserted) {
        mTerrainGrid->AllocateExact((vtkIdType)mLayout.cells().size(), 4 * (vtkIdType)mLayout.cells().size());
        for (const visgeom::Quad& q : mLayout.cells()) {
            const vtkIdType ids[4] = {q[0], q[1], q[2], q[3]};
            mTerrainGrid->InsertNextCell(VTK_QUAD, 4, ids);
        }
        mCellsInserted = true;
    }
}

void SphericalPolarVisualization::update(bool centered) {
    computeTerrain(centered);
    viewpipeline::markModified(mTerrainGrid);
    if (!centered) {
        // The selected vertex may have moved radially; the dot keeps the clicked direction.
        const double* p = &mPositions[3 * (size_t)mSelectedPntInd];
        selectPoint(mSelectedPntInd, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), mSelectedTheta, mSelectedPhi);
    }
    if (anyDotsShown()) updatePointDots();
    if (!centered) updateXYPlotWindow();
}

void SphericalPolarVisualization::centerPoint(long point, bool centered) {
    // A number beyond the landscape's N bits names the point of its low N bits.
    mNorthPolePoint = point & (long)((1UL << mNumDims) - 1);
    update(centered);
}

void SphericalPolarVisualization::centerSelectedPoint() {
    mNorthPolePoint = mNDimPoints[mSelectedPntInd];
    update(true);
}

void SphericalPolarVisualization::setGridLinesVisibility(bool on) {
    mTerrainActor->GetProperty()->SetEdgeVisibility(on);
    update();
}

void SphericalPolarVisualization::selectPoint(vtkIdType index, double radius, double azimuth, double polar) {
    mSelectedPntInd = (int)index;
    const double r = radius + 0.001;
    mSelectionDotCoords[0] = r * std::sin(polar) * std::cos(azimuth);
    mSelectionDotCoords[1] = r * std::sin(polar) * std::sin(azimuth);
    mSelectionDotCoords[2] = r * std::cos(polar);
    createSelectedPointDot();
}

void SphericalPolarVisualization::createSelectedPointDot() {
    mSelectedPointGroup.reset();
    mRenderer->RemoveActor2D(mCaptionActor);
    const double f = mPointFitnessData[mSelectedPntInd];
    mSelectedPointGroup = std::make_unique<DotGroup>(mRenderer, 1, mSelectionDotCoords, 1, 0.5, 0, 1.0, 7);

    const long point = mNDimPoints[mSelectedPntInd];
    char caption[256];
    snprintf(caption, sizeof caption, "point: %ld, fitness: %.3f\n%s", point, f,
             Point::toBitString(point, mSimulation.getParameters().n).c_str());
    const double purple[3] = {0.6, 0, 0.6};
    viewpipeline::showCaption(mRenderer, mCaptionActor, caption, mSelectionDotCoords, purple, 0.27);
}

bool SphericalPolarVisualization::handleClick(int x, int y) {
    vtkNew<vtkPointPicker> picker;
    picker->PickFromListOn();
    picker->AddPickList(mTerrainActor);
    const bool hit = picker->Pick(x, y, 0, mRenderer) != 0 && picker->GetPointId() >= 0;
    if (hit) {
        const double* p = picker->GetPickPosition();
        const double rho = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        mSelectedTheta = std::atan2(p[1], p[0]);
        mSelectedPhi = std::acos(std::clamp(rho > 0 ? p[2] / rho : 1.0, -1.0, 1.0));
        selectPoint(mLayout.vertexAtPosition(p[0], p[1], p[2]), rho, mSelectedTheta, mSelectedPhi);
    }
    return hit;
}

void SphericalPolarVisualization::positionPointDot(const Point& point, DotType dotType, double* pos) const {
    mLayout.dotPosition(point, dotType, mNDimPoints, mPositions, mNDimPoints[mSelectedPntInd], pos);
}

void SphericalPolarVisualization::insertPointDot(const Point& point, DotType dotType, std::vector<double>* coords) {
    double pos[3], lifted[3];
    positionPointDot(point, dotType, pos);
    visgeom::SphereLayout::pushPointOutward(pos, 0.003, lifted);
    coords->insert(coords->end(), lifted, lifted + 3);
}

void SphericalPolarVisualization::updateOnRender() {
    if (mSelectedPointGroup) mSelectedPointGroup->update(false, 12);
    for (int i = 0; i < mNumDotGroups; i++) mDotGroups[i]->update(false, 12);
}

void SphericalPolarVisualization::postUpdateDots() { updateOnRender(); }
