// The terrain view (see the header).
#include "terrainvisualization.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCaptionActor2D.h>
#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkParametricFunctionSource.h>
#include <vtkParametricSpline.h>
#include <vtkPointData.h>
#include <vtkPointPicker.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkProperty2D.h>
#include <vtkRenderer.h>
#include <vtkStructuredGrid.h>
#include <vtkStructuredGridGeometryFilter.h>
#include <vtkTextProperty.h>
#include <vtkTubeFilter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "simulation.h"
#include "util.h"
#include "viewpipeline.h"

namespace {
int checkedTerrainDims(const Simulation& sim) {
    const int n = (int)sim.getParameters().n;
    if (n > visgeom::kMaxTerrainDims)
        NK_FATAL(Internal, "The terrain view draws one vertex per point and is limited to N <= %d (N is %d)\n",
                 visgeom::kMaxTerrainDims, n);
    return n;
}
}  // namespace

TerrainVisualization::TerrainVisualization(Simulation& simulation)
    : Visualization(simulation, VisTypeTerrain),
      DotVisualization(simulation, VisTypeTerrain),
      mGridMap(checkedTerrainDims(simulation)),
      mNumDimsX(mGridMap.numDimsX),
      mNumDimsY(mGridMap.numDimsY),
      mGridResX(mGridMap.gridResX),
      mGridResY(mGridMap.gridResY),
      mNeighborArcsOn(false),
      mNumArcs(0),
      mSelectedPntGridIndex(0),
      mScaleFactor(1.0 / std::min(mGridMap.gridResX, mGridMap.gridResY)),
      mScaleZFactor(1.0 / 7.0),
      mPointData(nullptr),
      mPointFitnessData(nullptr),
      mNumGridPoints((long)mGridMap.numGridPoints),
      mAvgFitness(0.0),
      mTerrainActor(vtkSmartPointer<vtkActor>::New()),
      mCaptionActor(vtkSmartPointer<vtkCaptionActor2D>::New()) {
    mAgentHistoryDotsOn = true;
    // At least one Hamming neighbour per grid axis is grid-adjacent and needs no arc.
    for (int i = 0; i < std::max(0, mNumDims - 2); i++) mArcActors.push_back(vtkSmartPointer<vtkActor>::New());
}

TerrainVisualization::~TerrainVisualization() {
    mSelectedPointGroup.reset();
    for (vtkActor* a : mArcActors) mRenderer->RemoveActor(a);
    mRenderer->RemoveActor2D(mCaptionActor);
    mRenderer->RemoveActor(mTerrainActor);
    if (mGridLinesActor) mRenderer->RemoveActor(mGridLinesActor);
}

void TerrainVisualization::init() {
    Visualization::init();
    printf("\nGrid resolution: %u x %u\n", mGridResX, mGridResY);

    mTerrainGrid = vtkSmartPointer<vtkStructuredGrid>::New();
    mTerrainGrid->SetDimensions((int)mGridResX, (int)mGridResY, 1);
    const viewpipeline::GridArrays arrays = viewpipeline::createGridArrays(mNumGridPoints);
    mPointData = arrays.vertexData;
    mPointFitnessData = arrays.fitnessData;
    mPointNDimCoords.assign(mNumGridPoints, 0);

    initTerrainCoords();

    mTerrainGrid->SetPoints(arrays.points);
    mTerrainGrid->GetPointData()->SetScalars(arrays.fitness);

    vtkNew<vtkStructuredGridGeometryFilter> filter;
    filter->SetInputData(mTerrainGrid);
    filter->SetExtent(0, (int)mGridResX - 1, 0, (int)mGridResY - 1, 0, 0);
    viewpipeline::showSurface(mRenderer, filter->GetOutputPort(), mColorTable, mTerrainActor);

    createTerrainGridLines();
    createSelectedPointDot();
    initCamera();

    mRenderer->SetBackground(0.9, 0.9, 0.9);
    createBoundingBox(0, (double)(mGridResX - 1) / mGridResX, 0, (double)(mGridResY - 1) / mGridResY, 0, mScaleZFactor);
}

void TerrainVisualization::initTerrainCoords() {
    const visgeom::FitnessSummary s = visgeom::computeTerrainCoords(
        mGridMap, [this](const Point& p) { return mLandscape.getFitnessValue(p); }, mScaleFactor, mScaleZFactor, true,
        mPointData, mPointFitnessData, mPointNDimCoords.data());
    mAvgFitness = s.avg;
    printf("Fitness min: %.4f (%lu), avg: %.4f, max: %.4f (%lu)\n", s.min, s.minPoint, s.avg, s.max, s.maxPoint);
    updateMaxPoints();
}

void TerrainVisualization::updateTerrainCoords() {
    const visgeom::FitnessSummary s = visgeom::computeTerrainCoords(
        mGridMap, [this](const Point& p) { return mLandscape.getFitnessValue(p); }, mScaleFactor, mScaleZFactor, false,
        mPointData, mPointFitnessData, mPointNDimCoords.data());
    mAvgFitness = s.avg;
    updateMaxPoints();
}

void TerrainVisualization::updateMaxPoints() {
    visgeom::findMaxima(mGridMap, mPointFitnessData, mGlobalMaxPoint, mLocalMaxPoints);
}

void TerrainVisualization::markGridModified() { viewpipeline::markModified(mTerrainGrid); }

void TerrainVisualization::update() {
    if (mNeighborArcsOn) {
        for (int i = 0; i < mNumArcs; i++) mRenderer->RemoveActor(mArcActors[i]);
        createNeighborArcs();
    }
    updateTerrainCoords();
    createSelectedPointDot();
    markGridModified();
    updateGridLineColor();
    updateXYPlotWindow();
    if (anyDotsShown()) updatePointDots();
}

void TerrainVisualization::createTerrainGridLines() {
    // The edges of the grid, as one polyline per row and per column over the surface's own
    // points: the lines follow every height update without being extracted again.
    vtkNew<vtkCellArray> lines;
    std::vector<vtkIdType> ids(std::max(mGridResX, mGridResY));
    for (unsigned r = 0; r < mGridResY; r++) {
        for (unsigned c = 0; c < mGridResX; c++) ids[c] = (vtkIdType)r * mGridResX + c;
        lines->InsertNextCell((vtkIdType)mGridResX, ids.data());
    }
    for (unsigned c = 0; c < mGridResX; c++) {
        for (unsigned r = 0; r < mGridResY; r++) ids[r] = (vtkIdType)r * mGridResX + c;
        lines->InsertNextCell((vtkIdType)mGridResY, ids.data());
    }
    vtkNew<vtkPolyData> grid;
    grid->SetPoints(mTerrainGrid->GetPoints());
    grid->SetLines(lines);
    vtkNew<vtkTubeFilter> tubes;
    tubes->SetInputData(grid);
    tubes->SetRadius(0.001);
    tubes->SetNumberOfSides(3);
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(tubes->GetOutputPort());
    mapper->SetScalarRange(0, 1);
    mapper->ScalarVisibilityOff();
    mGridLinesActor = vtkSmartPointer<vtkActor>::New();
    mGridLinesActor->SetMapper(mapper);
    mRenderer->AddActor(mGridLinesActor);
    updateGridLineColor();
}

void TerrainVisualization::updateGridLineColor() {
    if (!mGridLinesActor) return;
    // Light, opaque lines on a dark (low) landscape; faint blue ones on a bright one.
    const double t = std::max(0.0, 2.0 * (0.5 - mAvgFitness));
    mGridLinesActor->GetProperty()->SetColor(0.4 * t, 0.8 * t, 1.0);
    mGridLinesActor->GetProperty()->SetOpacity(0.6 * t + 0.13 * (1.0 - t));
}

void TerrainVisualization::toggleNeighborArcs(bool on) {
    mNeighborArcsOn = on;
    if (on) {
        createNeighborArcs();
        createSelectedPointDot();
    } else {
        for (int i = 0; i < mNumArcs; i++) mRenderer->RemoveActor(mArcActors[i]);
    }
}

void TerrainVisualization::createNeighborArcs() {
    const unsigned long s = mPointNDimCoords[mSelectedPntGridIndex];
    mNumArcs = 0;
    const float* vs = mPointData + 3 * mSelectedPntGridIndex;
    for (const visgeom::ArcTarget& t : visgeom::nonAdjacentNeighbors(mGridMap, s)) {
        if (mNumArcs >= (int)mArcActors.size()) break;
        addNeighborArc(vs, mPointData + 3 * t.gridIndex, fitnessOf((long)t.point), t.gridDist);
    }
}

void TerrainVisualization::addNeighborArc(const float* vs, const float* vq, double f, int gridDist) {
    vtkNew<vtkPoints> ctrl;
    // The start offset separates arcs of different lengths where they leave the vertex; the
    // middle rises with the grid distance.
    ctrl->InsertNextPoint(vs[0], vs[1], vs[2] + 0.004 * std::log2((double)(gridDist - 1)) - 0.002);
    ctrl->InsertNextPoint((vs[0] + vq[0]) / 2.0, (vs[1] + vq[1]) / 2.0, vs[2] + 0.3 * gridDist * mScaleFactor);
    ctrl->InsertNextPoint(vq[0], vq[1], vq[2]);
    vtkNew<vtkParametricSpline> spline;
    spline->SetPoints(ctrl);
    vtkNew<vtkParametricFunctionSource> source;
    source->SetParametricFunction(spline);
    source->SetUResolution(40);
    vtkNew<vtkTubeFilter> tube;
    tube->SetInputConnection(source->GetOutputPort());
    tube->SetRadius(0.002);
    tube->SetNumberOfSides(6);
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(tube->GetOutputPort());
    vtkActor* arc = mArcActors[mNumArcs++];
    arc->SetMapper(mapper);
    arc->GetProperty()->SetColor(f, f, f);
    arc->GetProperty()->LightingOff();
    mRenderer->AddActor(arc);
}

void TerrainVisualization::createSelectedPointDot() {
    if (mSelectedPointGroup) {
        mSelectedPointGroup.reset();
        mRenderer->RemoveActor2D(mCaptionActor);
    }
    const unsigned long g = mSelectedPntGridIndex;
    const float* v = mPointData + 3 * g;
    const double pos[3] = {v[0], v[1], v[2] + 0.003};
    const double f = mPointFitnessData[g];
    mSelectedPointGroup = std::make_unique<DotGroup>(mRenderer, 1, pos, f, f, f, 1.0, 7);

    char caption[256];
    snprintf(caption, sizeof caption, "point: %ld, fitness: %.3f\n%s", (long)mPointNDimCoords[g], f,
             Point::toBitString((long)mPointNDimCoords[g], mSimulation.getParameters().n).c_str());
    const double green[3] = {0, 1, 0};
    viewpipeline::showCaption(mRenderer, mCaptionActor, caption, pos, green, 0.3);
}

bool TerrainVisualization::handleClick(int x, int y) {
    vtkNew<vtkPointPicker> picker;
    picker->PickFromListOn();
    picker->AddPickList(mTerrainActor);
    const bool hit = picker->Pick(x, y, 0, mRenderer) != 0 && picker->GetPointId() >= 0;
    if (hit) {
        mSelectedPntGridIndex = (unsigned long)picker->GetPointId();
        update();
    }
    return hit;
}

void TerrainVisualization::initCamera() { viewpipeline::setObliqueCamera(mRenderer); }

void TerrainVisualization::insertPointDot(const Point& point, DotType dotType, std::vector<double>* coords) {
    const unsigned long g = mGridMap.gridIndex((unsigned long)(uint32_t)point.values);
    double pos[3];
    visgeom::terrainDotPosition(g, dotType, mPointData + 3 * g, pos);
    coords->insert(coords->end(), pos, pos + 3);
}

void TerrainVisualization::updateOnRender() {
    if (mSelectedPointGroup) mSelectedPointGroup->update(false, 12);
    for (int i = 0; i < mNumDotGroups; i++) mDotGroups[i]->update(false, 12);
}

void TerrainVisualization::postUpdateDots() { updateOnRender(); }
