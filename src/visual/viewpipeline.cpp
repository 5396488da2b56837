// The pipeline parts the landscape views share (see the header).
#include "viewpipeline.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCaptionActor2D.h>
#include <vtkDataSet.h>
#include <vtkFloatArray.h>
#include <vtkLookupTable.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPointSet.h>
#include <vtkPoints.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkProperty2D.h>
#include <vtkRenderer.h>
#include <vtkTextProperty.h>

namespace viewpipeline {

GridArrays createGridArrays(vtkIdType count) {
    GridArrays a;
    a.points = vtkSmartPointer<vtkPoints>::New();
    a.points->SetDataTypeToFloat();
    a.points->SetNumberOfPoints(count);
    a.vertexData = static_cast<float*>(a.points->GetVoidPointer(0));
    a.fitness = vtkSmartPointer<vtkFloatArray>::New();
    a.fitness->SetNumberOfValues(count);
    a.fitnessData = a.fitness->GetPointer(0);
    return a;
}

void markModified(vtkDataSet* grid) {
    if (vtkPointSet* set = vtkPointSet::SafeDownCast(grid)) set->GetPoints()->Modified();
    grid->GetPointData()->GetScalars()->Modified();
    grid->Modified();
}

void showSurface(vtkRenderer* renderer, vtkAlgorithmOutput* surface, vtkLookupTable* colors, vtkActor* actor) {
    vtkNew<vtkPolyDataMapper> mapper;
    mapper->SetInputConnection(surface);
    mapper->SetScalarRange(0, 1);
    mapper->ScalarVisibilityOn();
    mapper->SetLookupTable(colors);
    actor->SetMapper(mapper);
    actor->GetProperty()->LightingOff();
    renderer->AddActor(actor);
}

void setObliqueCamera(vtkRenderer* renderer) {
    vtkNew<vtkCamera> camera;
    camera->SetPosition(0.5, 0.7, 0.3);
    camera->SetFocalPoint(0.5, 1.0, 0.0);
    renderer->SetActiveCamera(camera);
    renderer->ResetCamera();
    camera->Dolly(1.3);
    camera->SetClippingRange(0.1, camera->GetClippingRange()[1]);
}

void showCaption(vtkRenderer* renderer, vtkCaptionActor2D* caption, const char* text, const double* pos,
                 const double* rgb, double width) {
    caption->SetCaption(text);
    caption->GetProperty()->SetColor(rgb[0], rgb[1], rgb[2]);
    caption->GetCaptionTextProperty()->SetColor(rgb[0], rgb[1], rgb[2]);
    caption->SetAttachmentPoint(pos[0], pos[1], pos[2]);
    caption->SetPosition(25, 20);
    caption->ThreeDimensionalLeaderOff();
    caption->SetWidth(width);
    caption->SetHeight(0.075);
    caption->GetCaptionTextProperty()->ItalicOff();
    caption->GetCaptionTextProperty()->ShadowOff();
    renderer->AddActor2D(caption);
}

}  // namespace viewpipeline
