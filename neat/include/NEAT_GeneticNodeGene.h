// A node gene: name, type, layout position and activation function number.
#ifndef NEAT_GENETICNODEGENE_H
#define NEAT_GENETICNODEGENE_H

#include <string>

#include "NEAT_GeneticGene.h"

namespace NEAT {

class GeneticNodeGene : public GeneticGene {
public:
    GeneticNodeGene(int ID, std::string name, std::string type, int activationFunction = 0,
                    double drawingPosition = 0.0, bool enabled = true);
    // Reads a node element and raises the node counter of `globals` above its ID. Missing
    // required attributes and an activation function outside the table are thrown as
    // a GenomeError.
    GeneticNodeGene(const tinyxml2::XMLElement* element, Globals& globals);

    const std::string& getName() const { return name; }
    const std::string& getType() const { return type; }
    double getDrawingPosition() const { return drawingPosition; }
    int getActivationFunction() const { return activationFunction; }

private:
    std::string name;
    std::string type;
    double drawingPosition = 0.0;
    int activationFunction = 0;
};

}  // namespace NEAT

#endif
