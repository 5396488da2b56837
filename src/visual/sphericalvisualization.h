// The spherical view: the landscape as seen from one point, the north pole. Ring r holds
// the points r + 1 bits away along N meridians; the radius grows with fitness. A click
// selects the nearest vertex; the sphere can be re-centred on the selection or a given point.
#pragma once

#include <vtkActor.h>
#include <vtkCaptionActor2D.h>
#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <memory>
#include <vector>

#include "dotvisualization.h"
#include "visualgeometry.h"

class vtkPoints;
class vtkUnstructuredGrid;

class SphericalPolarVisualization : public virtual Visualization, public DotVisualization {
public:
    SphericalPolarVisualization(Simulation& simulation, long northPolePoint, VisualizationType visType);
    ~SphericalPolarVisualization() override;

    void init() override;
    // Keeps the selection in the clicked direction.
    void update() override { update(false); }
    // `centered`: the north pole was just set and becomes the selection.
    void update(bool centered);
    void updateOnRender() override;
    bool handleClick(int x, int y) override;
    virtual void computeTerrain(bool selectNorthPole);
    void postUpdateDots() override;
    void insertPointDot(const Point& point, DotType dotType, std::vector<double>* coords) override;

    void centerPoint(long point, bool centered);
    void centerSelectedPoint();
    long northPolePoint() const { return mNorthPolePoint; }
    void setGridLinesVisibility(bool on);
    void selectPoint(vtkIdType index, double radius, double azimuth, double polar);
    // Position of the dot for a point before it is lifted off the surface.
    void positionPointDot(const Point& point, DotType dotType, double* pos) const;

    int getSelectedPointIndex() const { return mSelectedPntInd; }
    long getSelectedPoint() const { return mNDimPoints[mSelectedPntInd]; }
    const std::vector<long>& getVertexPoints() const { return mNDimPoints; }
    const double* getVertexPosition(int index) const { return &mPositions[3 * (size_t)index]; }
    float getVertexFitness(int index) const { return mPointFitnessData[index]; }
    const double* getSelectionDotCoords() const { return mSelectionDotCoords; }
    vtkIdType getNumberOfCells() const;
    const visgeom::SphereLayout& getLayout() const { return mLayout; }
    vtkActor* getTerrainActor() const { return mTerrainActor; }
    vtkCaptionActor2D* getCaptionActor() const { return mCaptionActor; }

private:
    visgeom::SphereLayout mLayout;
    vtkSmartPointer<vtkActor> mTerrainActor;
    vtkSmartPointer<vtkCaptionActor2D> mCaptionActor;
    long mNorthPolePoint;
    double mSelectedTheta;
    double mSelectedPhi;
    int mSelectedPntInd;
    double mSelectionDotCoords[3];
    std::unique_ptr<DotGroup> mSelectedPointGroup;
    vtkSmartPointer<vtkUnstructuredGrid> mTerrainGrid;
    vtkSmartPointer<vtkPoints> mPoints;
    float* mPointFitnessData;
    std::vector<long> mNDimPoints;
    std::vector<double> mPositions;  // 3 per vertex
    int mNumGridPoints;
    double mScaleFactor;
    double mScaleZFactor;
    double mBaseRadius;
    bool mCellsInserted;

    void createSelectedPointDot();
};
