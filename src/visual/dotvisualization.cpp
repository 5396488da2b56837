// Dots over a landscape view, their looks and the legend (see the header).
#include "dotvisualization.h"

#include <vtkActor.h>
#include <vtkCellArray.h>
#include <vtkFloatArray.h>
#include <vtkGlyph3D.h>
#include <vtkGlyphSource2D.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkPolyDataMapper2D.h>
#include <vtkProperty.h>
#include <vtkProperty2D.h>
#include <vtkRenderer.h>
#include <vtkTextProperty.h>

#include "simulation.h"

DotProperties::DotProperties(double r, double g, double b, double a, int glyph, const std::string& n, double size)
    : color{r, g, b, a}, glyphType(glyph), name(n), sizeMultiplier(size) {}

DotProperties DotVisualization::dotProps[DotTypeNum] = {
    DotProperties(1, 1, 0, 0.7, 7, "Public memory", 1.0),
    DotProperties(0, 0.9, 0.1, 0.7, 7, "Private memory", 1.0),
    DotProperties(1, 0, 1, 0.7, 7, "Global max", 1.0),
    DotProperties(0, 1, 1, 0.5, 7, "Local max", 1.0),
    DotProperties(1, 0, 0, 0.7, 7, "Agent history", 1.0),
    DotProperties(0, 0.3, 1, 0.7, 6, "", 1.0),
    DotProperties(0, 0.5, 0, 0.6, 5, "", 1.0),
    DotProperties(1, 0, 0, 0.7, 7, "", 0.85),
    DotProperties(0, 0, 0, 0.0, 7, "", 1.0),
};

// ---- DotGroup ------------------------------------------------------------------------

DotGroup::DotGroup(vtkRenderer* renderer, int numPoints, const double* coords, const DotProperties& props)
    : mRenderer(renderer), mActor(vtkSmartPointer<vtkActor>::New()), mPoints(vtkSmartPointer<vtkPoints>::New()) {
    init(numPoints, coords, props);
}

DotGroup::DotGroup(vtkRenderer* renderer, int numPoints, const double* coords, double r, double g, double b,
                   double opacity, int glyphType)
    : DotGroup(renderer, numPoints, coords, DotProperties(r, g, b, opacity, glyphType, "", 1.0)) {}

DotGroup::~DotGroup() { mRenderer->RemoveActor(mActor); }

int DotGroup::getNumPoints() const { return (int)mPoints->GetNumberOfPoints(); }

void DotGroup::init(int numPoints, const double* coords, const DotProperties& props) {
    for (int i = 0; i < numPoints; i++) mPoints->InsertNextPoint(coords[3 * i], coords[3 * i + 1], coords[3 * i + 2]);
    vtkNew<vtkPolyData> data;
    data->SetPoints(mPoints);

    vtkNew<vtkGlyphSource2D> glyph;
    glyph->SetGlyphType(props.glyphType);
    glyph->SetScale(0.008 * props.sizeMultiplier);
    vtkNew<vtkGlyph3D> glyphs;
    glyphs->SetInputData(data);
    glyphs->SetSourceConnection(glyph->GetOutputPort());
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(glyphs->GetOutputPort());
    // The glyph source carries its own (white) colour scalars; the look is the actor's colour.
    mapper->ScalarVisibilityOff();
    mActor->SetMapper(mapper);
    mActor->GetProperty()->SetColor(props.color[0], props.color[1], props.color[2]);
    mActor->GetProperty()->SetOpacity(props.color[3]);
    mRenderer->AddActor(mActor);
}

// ---- CustomLegendBoxActor ---------------------------------------------------------------

vtkObjectFactoryNewMacro(CustomLegendBoxActor);

vtkPolyDataMapper2D* CustomLegendBoxActor::GetSymbolMapper(int i) {
    return i >= 0 && i < NumberOfEntries ? SymbolMapper[i] : nullptr;
}

// ---- DotVisualization -------------------------------------------------------------------

DotVisualization::DotVisualization(Simulation& simulation, VisualizationType visType)
    : Visualization(simulation, visType),
      mLegendActor(vtkSmartPointer<CustomLegendBoxActor>::New()),
      mNumDotGroups(0),
      mMemoryDotsOn{false, false, false, false},
      mAgentHistoryDotsOn(false),
      mAgentConsideredDotsOn(false),
      mAgentConsideredDotsOthersOn(false),
      mOnly1Agent(true),
      mGlobalMaxOn(false),
      mLocalMaxOn(false),
      mNumRecentSteps(200),
      mGlobalMaxPoint(-1) {
    // The considered-point looks carry the names of the strategies that proposed them.
    const SimuParameters& params = simulation.getParameters();
    const std::vector<std::string>& names = params.comparedStrategyNames;
    for (int i = 0; i <= params.nExtraStrategies && DotTypeConsidered1 + i < DotTypeNum; i++)
        if (i < (int)names.size()) dotProps[DotTypeConsidered1 + i].name = names[i];
}

DotVisualization::~DotVisualization() {
    removeAllDotGroups();
    mRenderer->RemoveActor2D(mLegendActor);
}

visgeom::DotSwitches DotVisualization::dotSwitches() const {
    visgeom::DotSwitches s;
    for (int m = 0; m < MemTypeNum; m++) s.memoryDotsOn[m] = mMemoryDotsOn[m];
    s.agentHistoryDotsOn = mAgentHistoryDotsOn;
    s.agentConsideredDotsOn = mAgentConsideredDotsOn;
    s.agentConsideredDotsOthersOn = mAgentConsideredDotsOthersOn;
    s.only1Agent = mOnly1Agent;
    s.globalMaxOn = mGlobalMaxOn;
    s.localMaxOn = mLocalMaxOn;
    s.numRecentSteps = mNumRecentSteps;
    return s;
}

void DotVisualization::toggleMemoryDots(MemType type, bool on) {
    mMemoryDotsOn[type] = on;
    updatePointDots();
}

void DotVisualization::toggleAgentHistory(bool on) {
    mAgentHistoryDotsOn = on;
    updatePointDots();
}

void DotVisualization::toggleAgentConsidered(bool on) {
    mAgentConsideredDotsOn = on;
    updatePointDots();
}

void DotVisualization::toggleAgentConsideredOthers(bool on) {
    mAgentConsideredDotsOthersOn = on;
    updatePointDots();
}

void DotVisualization::toggle1Agent(bool on) {
    mOnly1Agent = on;
    updatePointDots();
}

void DotVisualization::toggleGlobalMax(bool on) {
    mGlobalMaxOn = on;
    updatePointDots();
}

void DotVisualization::toggleLocalMax(bool on) {
    mLocalMaxOn = on;
    updatePointDots();
}

void DotVisualization::addDotsForPointList(const std::vector<Point>& points, int start, int count, DotType dotType,
                                           std::vector<double>& coords) {
    coords.reserve(coords.size() + 3 * (size_t)count);
    for (int i = start; i < start + count; i++) insertPointDot(points[i], dotType, &coords);
}

void DotVisualization::removeAllDotGroups() {
    for (int i = 0; i < mNumDotGroups; i++) mDotGroups[i].reset();
    mNumDotGroups = 0;
}

void DotVisualization::updatePointDots() {
    mNumDotUpdates++;
    legendItems.clear();
    removeAllDotGroups();

    const visgeom::DotPlan plan =
        visgeom::planDots(mSimulation, dotSwitches(), mVisType == VisTypeTerrain, mGlobalMaxPoint, mLocalMaxPoints);
    std::vector<double> coords;
    for (const visgeom::DotGroupPlan& g : plan.groups) {
        if (mNumDotGroups >= DotTypeNum) break;
        coords.clear();
        addDotsForPointList(g.points, 0, (int)g.points.size(), g.type, coords);
        mDotGroups[mNumDotGroups++] =
            std::make_unique<DotGroup>(mRenderer, (int)(coords.size() / 3), coords.data(), dotProps[g.type]);
    }
    for (DotType t : plan.legend) legendItems.push_back(dotProps[t]);

    postUpdateDots();

    if (legendItems.empty())
        mRenderer->RemoveActor2D(mLegendActor);
    else
        createLegendBox();
}

void DotVisualization::createLegendBox() {
    const int n = (int)legendItems.size();
    const double h = 0.05 * n;
    mLegendActor->SetNumberOfEntries(n);
    mLegendActor->BorderOn();
    mLegendActor->SetPadding(2);
    mLegendActor->GetPositionCoordinate()->SetCoordinateSystemToNormalizedViewport();
    mLegendActor->GetPositionCoordinate()->SetValue(0.86, 1 - h);
    mLegendActor->GetPosition2Coordinate()->SetCoordinateSystemToNormalizedViewport();
    mLegendActor->GetPosition2Coordinate()->SetValue(0.139, h - 0.001);
    mLegendActor->ScalarVisibilityOn();
    mLegendActor->GetProperty()->SetColor(0, 0, 0);
    mLegendActor->GetProperty()->SetPointSize(10);

    vtkNew<vtkLookupTable> table;
    table->SetNumberOfTableValues(n);
    for (int i = 0; i < n; i++) table->SetTableValue(i, legendItems[i].color);
    table->Build();
    for (int i = 0; i < n; i++) {
        mLegendActor->SetEntryString(i, legendItems[i].name.c_str());
        mLegendActor->SetEntrySymbol(i, legendSymbol(i, n));
        if (vtkPolyDataMapper2D* m = mLegendActor->GetSymbolMapper(i)) {
            m->SetLookupTable(table);
            m->SetScalarRange(0, 1);
        }
    }

    vtkNew<vtkTextProperty> text;
    text->SetColor(0, 0, 0);
    text->SetFontSize(8);
    mLegendActor->SetEntryTextProperty(text);
    mRenderer->AddActor2D(mLegendActor);
}

vtkSmartPointer<vtkPolyData> DotVisualization::legendSymbol(int i, int n) const {
    vtkNew<vtkGlyphSource2D> glyph;
    glyph->SetGlyphType(legendItems[i].glyphType);
    glyph->SetScale(1.0);
    vtkNew<vtkPoints> pts;
    pts->InsertNextPoint(0, 0, 0);
    vtkNew<vtkFloatArray> scalar;
    scalar->SetNumberOfComponents(1);
    scalar->InsertNextValue((float)i / n);
    vtkNew<vtkPolyData> data;
    data->SetPoints(pts);
    data->GetPointData()->SetScalars(scalar);
    vtkNew<vtkGlyph3D> glyphs;
    glyphs->SetInputData(data);
    glyphs->SetSourceConnection(glyph->GetOutputPort());
    // The scalar picks the colour, not the size: a symbol scaled by i / n would vanish for
    // the first entry.
    glyphs->SetScaleModeToDataScalingOff();
    glyphs->SetColorModeToColorByScalar();
    glyphs->Update();
    return glyphs->GetOutput();
}
