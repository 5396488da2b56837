// Common base of the landscape views (see the header).
#include "visualization.h"

#include <vtkCubeAxesActor.h>
#include <vtkDataObject.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkGenericOpenGLRenderWindow.h>
#include <vtkInteractorStyle.h>
#include <vtkInteractorStyleTrackballCamera.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkProperty.h>
#include <vtkProperty2D.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkTextProperty.h>
#include <vtkXYPlotActor.h>

#include <algorithm>
#include <string>

#include "simulation.h"

Visualization::Visualization(Simulation& simulation, VisualizationType visType)
    : mSimulation(simulation),
      mLandscape(simulation.getLandscape()),
      mVisType(visType),
      mNumDims((int)simulation.getParameters().n) {
    mRenderer = vtkSmartPointer<vtkRenderer>::New();
    // The main window is shown inside a Qt widget, which needs VTK's generic OpenGL window.
    mRenWin = vtkSmartPointer<vtkGenericOpenGLRenderWindow>::New();
    mRenWin->AddRenderer(mRenderer);
    mColorTable = vtkSmartPointer<vtkLookupTable>::New();
    mColorTable->SetHueRange(0.5, 0.5);
    mColorTable->SetSaturationRange(0, 0);
    mColorTable->SetValueRange(0, 1);
    mColorTable->SetNumberOfTableValues(256);
    mColorTable->Build();
}

Visualization::~Visualization() {
    if (mStartCallback) mRenderer->RemoveObserver(mStartCallback);
    if (vtkRenderWindowInteractor* iren = mRenWin->GetInteractor()) {
        if (mRenderCallback) iren->RemoveObserver(mRenderCallback);
        if (mMouseCallback && iren->GetInteractorStyle()) iren->GetInteractorStyle()->RemoveObserver(mMouseCallback);
    }
    if (mXYPlotRenWin) mXYPlotRenWin->Finalize();
}

double Visualization::fitnessOf(long point) const { return mLandscape.getFitnessValue(Point(point)); }

void Visualization::init() {
    if (!mStartCallback) {
        mStartCallback.TakeReference(VisStartCallback::New(this));
        mRenderer->AddObserver(vtkCommand::StartEvent, mStartCallback);
    }
    updateXYPlotWindow();
}

void Visualization::initInteractorCallbacks() {
    vtkRenderWindowInteractor* iren = mRenWin->GetInteractor();
    if (!iren || mRenderCallback) return;
    mRenderCallback.TakeReference(VisRenderCallback::New(this));
    iren->AddObserver(vtkCommand::RenderEvent, mRenderCallback);

    // A style switch passes mouse events to its current style; observe a plain camera
    // style instead so that the observers see every press, move and release.
    if (!iren->GetInteractorStyle() || iren->GetInteractorStyle()->IsA("vtkInteractorStyleSwitch")) {
        vtkNew<vtkInteractorStyleTrackballCamera> style;
        iren->SetInteractorStyle(style);
    }
    vtkInteractorObserver* style = iren->GetInteractorStyle();
    mMouseCallback.TakeReference(VisMouseCallback::New(this));
    style->AddObserver(vtkCommand::LeftButtonPressEvent, mMouseCallback);
    style->AddObserver(vtkCommand::MouseMoveEvent, mMouseCallback);
    style->AddObserver(vtkCommand::LeftButtonReleaseEvent, mMouseCallback);
}

void Visualization::createBoundingBox(double xmin, double xmax, double ymin, double ymax, double zmin, double zmax) {
    vtkNew<vtkCubeAxesActor> axes;
    axes->SetBounds(xmin, xmax, ymin, ymax, zmin, zmax);
    axes->SetCamera(mRenderer->GetActiveCamera());
    axes->GetProperty()->SetColor(0, 0, 0);
    axes->GetXAxesLinesProperty()->SetColor(0, 0, 0);
    axes->GetYAxesLinesProperty()->SetColor(0, 0, 0);
    axes->GetZAxesLinesProperty()->SetColor(0, 0, 0);
    axes->SetFlyMode(vtkCubeAxesActor::VTK_FLY_STATIC_EDGES);
    axes->XAxisLabelVisibilityOff();
    axes->YAxisLabelVisibilityOff();
    axes->ZAxisLabelVisibilityOff();
    axes->XAxisTickVisibilityOff();
    axes->YAxisTickVisibilityOff();
    axes->ZAxisTickVisibilityOff();
    // Titles have their own switch here; only the box edges are meant to show.
    axes->XAxisMinorTickVisibilityOff();
    axes->YAxisMinorTickVisibilityOff();
    axes->ZAxisMinorTickVisibilityOff();
    axes->SetXTitle("");
    axes->SetYTitle("");
    axes->SetZTitle("");
    mRenderer->AddViewProp(axes);
}

void Visualization::updateXYPlotWindow() {
    const unsigned int step = mSimulation.getCurrentStep();
    if (step == 0) return;
    if (!mXYPlotRenderer) createXYPlotWindow(step);
    const std::string title = "Agent " + std::to_string(mSimulation.getChosenAgent() + 1) + ": Fitness vs. Time";
    mXYPlotRenWin->SetWindowName(title.c_str());
    setXYPlotData(mSimulation.getChosenAgentFitnessValues());
    mXYPlotRenWin->Render();
}

void Visualization::createXYPlotWindow(unsigned int step) {
    mXYPlotRenWin = vtkSmartPointer<vtkRenderWindow>::New();
    mXYPlotRenWin->SetSize(400, 400);
    const int* screen = mXYPlotRenWin->GetScreenSize();
    mXYPlotRenWin->SetPosition(0, std::max(0, (screen ? screen[1] : 500) - 500));
    mXYPlotRenderer = vtkSmartPointer<vtkRenderer>::New();
    mXYPlotRenderer->SetBackground(1, 1, 1);
    mXYPlotRenderer->SetViewport(0, 0, 1, 1);
    mXYPlotRenWin->AddRenderer(mXYPlotRenderer);

    mXYPlotActor = vtkSmartPointer<vtkXYPlotActor>::New();
    mXYPlotActor->SetXTitle("Time (Search steps)");
    mXYPlotActor->SetYTitle("");
    mXYPlotActor->SetXValuesToValue();
    mXYPlotActor->SetYRange(0, 1);
    mXYPlotActor->GetProperty()->SetColor(0, 0, 0);
    mXYPlotActor->GetProperty()->SetPointSize(3);
    mXYPlotActor->GetPositionCoordinate()->SetValue(0, 0, 0);
    mXYPlotActor->GetPosition2Coordinate()->SetValue(1, 1, 0);
    vtkTextProperty* text = mXYPlotActor->GetTitleTextProperty();
    text->SetColor(mXYPlotActor->GetProperty()->GetColor());
    mXYPlotActor->SetAxisTitleTextProperty(text);
    mXYPlotActor->SetAxisLabelTextProperty(text);
    mXYPlotActor->SetXLabelFormat("%-#6.0f");
    mXYPlotActor->SetYLabelFormat("%-#6.2f");
    mXYPlotActor->SetNumberOfXLabels((int)std::min(step, 10u));
    // The legend sits in the lower right, clear of the curve's usual rise.
    mXYPlotActor->SetLegendPosition(0.45, 0.18);
    mXYPlotActor->SetLegendPosition2(0.5, 0.08);
    mXYPlotRenderer->AddActor2D(mXYPlotActor);
}

void Visualization::setXYPlotData(const std::vector<double>& values) {
    if (mXYPlotData) {
        mXYPlotActor->RemoveDataObjectInput(mXYPlotData);
        mXYPlotData = nullptr;
    }
    mXYPlotActor->RemoveAllDataSetInputConnections();
    vtkNew<vtkFloatArray> xs, ys;
    xs->SetNumberOfValues((vtkIdType)values.size());
    ys->SetNumberOfValues((vtkIdType)values.size());
    for (size_t i = 0; i < values.size(); i++) {
        xs->SetValue((vtkIdType)i, (float)i);
        ys->SetValue((vtkIdType)i, (float)values[i]);
    }
    vtkNew<vtkFieldData> field;
    field->AllocateArrays(2);
    field->AddArray(xs);
    field->AddArray(ys);
    mXYPlotData = vtkSmartPointer<vtkDataObject>::New();
    mXYPlotData->SetFieldData(field);
    mXYPlotActor->AddDataObjectInput(mXYPlotData);
    mXYPlotActor->SetDataObjectXComponent(0, 0);
    mXYPlotActor->SetDataObjectYComponent(0, 1);
    mXYPlotActor->SetPlotColor(0, 0, 0, 0);
    mXYPlotActor->LegendOn();
    mXYPlotActor->SetPlotLabel(0, "Fitness of agent's last point");
}

// ---- callbacks -----------------------------------------------------------------------

VisStartCallback* VisStartCallback::New(Visualization* vis) {
    VisStartCallback* c = new VisStartCallback;
    c->mVisualization = vis;
    return c;
}

void VisStartCallback::Execute(vtkObject* caller, unsigned long, void*) {
    mVisualization->initInteractorCallbacks();
    mVisualization->updateOnRender();
    // Runs once, as soon as the window has an interactor to attach the callbacks to.
    if (mVisualization->getRenderWindow()->GetInteractor()) caller->RemoveObserver(this);
}

VisRenderCallback* VisRenderCallback::New(Visualization* vis) {
    VisRenderCallback* c = new VisRenderCallback;
    c->mVisualization = vis;
    return c;
}

void VisRenderCallback::Execute(vtkObject*, unsigned long, void*) { mVisualization->updateOnRender(); }

VisMouseCallback* VisMouseCallback::New(Visualization* vis) {
    VisMouseCallback* c = new VisMouseCallback;
    c->mVisualization = vis;
    return c;
}

void VisMouseCallback::Execute(vtkObject* caller, unsigned long eventId, void*) {
    vtkInteractorStyle* style = vtkInteractorStyle::SafeDownCast(caller);
    if (!style) return;
    switch (eventId) {
        case vtkCommand::LeftButtonPressEvent:
            mMousePointerMoved = false;
            style->OnLeftButtonDown();
            break;
        case vtkCommand::MouseMoveEvent:
            mMousePointerMoved = true;
            style->OnMouseMove();
            break;
        case vtkCommand::LeftButtonReleaseEvent:
            if (!mMousePointerMoved) {
                const int* pos = style->GetInteractor()->GetEventPosition();
                mVisualization->handleClick(pos[0], pos[1]);
            }
            style->OnLeftButtonUp();
            break;
        default:
            break;
    }
}
