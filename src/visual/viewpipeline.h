// The VTK pipeline parts the landscape views set up alike: the vertex and fitness arrays the
// views write in place, the fitness-coloured surface, the oblique camera over a flat
// landscape, and the caption of the selected point.
#pragma once

#include <vtkSmartPointer.h>
#include <vtkType.h>

class vtkActor;
class vtkAlgorithmOutput;
class vtkCaptionActor2D;
class vtkDataSet;
class vtkFloatArray;
class vtkLookupTable;
class vtkPoints;
class vtkRenderer;

namespace viewpipeline {

// `count` vertices (three floats each) and their fitness values, with pointers into both for
// writing them in place.
struct GridArrays {
    vtkSmartPointer<vtkPoints> points;
    vtkSmartPointer<vtkFloatArray> fitness;
    float* vertexData = nullptr;
    float* fitnessData = nullptr;
};
GridArrays createGridArrays(vtkIdType count);

// Tells VTK that a grid's vertices and fitness values were written in place.
void markModified(vtkDataSet* grid);

// Shows `surface` through `actor`, unlit, coloured by fitness in [0, 1] through `colors`.
void showSurface(vtkRenderer* renderer, vtkAlgorithmOutput* surface, vtkLookupTable* colors, vtkActor* actor);

// Looks at a landscape in the unit square from above its near edge.
void setObliqueCamera(vtkRenderer* renderer);

// The caption of the selected point, attached at `pos`, in `rgb`, `width` of the view wide.
void showCaption(vtkRenderer* renderer, vtkCaptionActor2D* caption, const char* text, const double* pos,
                 const double* rgb, double width);

}  // namespace viewpipeline
