// Node genes, built directly or read from a genome file.
#include "NEAT_GeneticNodeGene.h"

#include <utility>

#include "NEAT_ActivationFn.h"
#include "NEAT_Globals.h"
#include "NEAT_XmlReading.h"

namespace NEAT {

GeneticNodeGene::GeneticNodeGene(int ID, std::string name, std::string type, int activationFunction,
                                 double drawingPosition, bool enabled)
    : GeneticGene(ID, enabled),
      name(std::move(name)),
      type(std::move(type)),
      drawingPosition(drawingPosition),
      activationFunction(activationFunction) {}

GeneticNodeGene::GeneticNodeGene(const tinyxml2::XMLElement* element, Globals& globals)
    : GeneticGene(element), name(requireAttribute(element, "Name")), type(requireAttribute(element, "Type")) {
    if (const char* text = element->Attribute("DrawingPosition")) drawingPosition = parseRealText(text);
    if (const char* text = element->Attribute("ActivationFunction")) activationFunction = parseIntText(text);
    // Rejected here, where the line is known, rather than later when a network is built.
    if (activationFunction < 0 || activationFunction >= NUM_ACTIVATION_FUNCTIONS) {
        reportLoadError("Genome file: node " + std::to_string(ID) + " on line " +
                        std::to_string(element->GetLineNum()) + " has activation function " +
                        std::to_string(activationFunction) + ", outside 0 to " +
                        std::to_string(NUM_ACTIVATION_FUNCTIONS - 1) + "!");
    }
    globals.setNodeCounter(raisedCounter(globals.getNodeCounter(), ID));
}

}  // namespace NEAT
