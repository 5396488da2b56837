// The activation functions (unsigned forms) and their table.
#include "NEAT_ActivationFn.h"
#include "NEAT_GenomeError.h"

#include <cmath>
#include <string>

namespace NEAT {

namespace {
// A multiplication by the double nearest to one third, not a division by 3: the two
// can differ in the last bit.
constexpr double ONE_THIRD = 0.3333333333333333;
// Within these bounds the sigmoid comes from the table.
constexpr double TABLE_LIMIT = 2.9;
}  // namespace

namespace {
std::array<double, Sigmoid::TABLE_SIZE> sigmoidTable() {
    std::array<double, Sigmoid::TABLE_SIZE> t;
    for (int k = -Sigmoid::TABLE_HALF; k <= Sigmoid::TABLE_HALF; ++k)
        t[k + Sigmoid::TABLE_HALF] = 1.0 / (1.0 + std::exp(-k * 0.001));
    return t;
}
}  // namespace

Sigmoid::Sigmoid() : table(sigmoidTable()) {}

double Sigmoid::eval(double x) const {
    // Written so that NaN takes the direct formula instead of indexing the table.
    if (!(x >= -TABLE_LIMIT && x <= TABLE_LIMIT)) return 1.0 / (1.0 + std::exp(-x));
    // Truncation toward zero is intended: (-0.001, 0.001) all map to entry 0.
    return table[static_cast<int>(x * 1000) + TABLE_HALF];
}

double Sin::eval(double x) const { return (std::sin(x) + 1.0) * 0.5; }

double Cos::eval(double x) const { return (std::cos(x) + 1.0) * 0.5; }

double Gaussian::eval(double x) const { return std::exp(-x * x); }

double Square::eval(double x) const { return x * x; }

double SquareRoot::eval(double x) const { return std::sqrt(std::fabs(x)); }

double Linear::eval(double x) const {
    double c = x < -3.0 ? -3.0 : (x > 3.0 ? 3.0 : x);
    return (c * ONE_THIRD + 1.0) * 0.5;
}

double OnesComplement::eval(double x) const {
    double t = x * ONE_THIRD;
    if (t <= 0.0) return 1.0;
    if (t >= 1.0) return 0.0;
    return 1.0 - t;
}

double Step::eval(double x) const { return x >= 1.0 ? 1.0 : 0.0; }

namespace {
Sigmoid sigmoidFn;
Sin sinFn;
Cos cosFn;
Gaussian gaussianFn;
Square squareFn;
SquareRoot squareRootFn;
Linear linearFn;
OnesComplement onesComplementFn;
Step stepFn;
}  // namespace

const ActivationFnRow ACTIVATION_FUNCTIONS[NUM_ACTIVATION_FUNCTIONS] = {
    {"UseActSigmoid", &sigmoidFn, true}, {"UseActSin", &sinFn, false},
    {"UseActCos", &cosFn, false},        {"UseActGaussian", &gaussianFn, false},
    {"UseActSquare", &squareFn, false},  {"UseActSquareRoot", &squareRootFn, false},
    {"UseActLinear", &linearFn, false},  {"UseActOnesComplement", &onesComplementFn, false},
    {"UseActStep", &stepFn, false},
};

ActivationFn* getActivationFn(int row) {
    if (row < 0 || row >= NUM_ACTIVATION_FUNCTIONS) {
        std::string text = "Activation function " + std::to_string(row) + " does not exist (0 to " +
                           std::to_string(NUM_ACTIVATION_FUNCTIONS - 1) + ")!";
        throw GenomeError(GenomeFault::BadNetwork, text);
    }
    return ACTIVATION_FUNCTIONS[row].fn;
}

}  // namespace NEAT
