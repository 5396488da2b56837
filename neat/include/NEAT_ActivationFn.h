// The nine node activation functions and the table that maps a gene's function
// number to one shared instance of each.
#ifndef NEAT_ACTIVATIONFN_H
#define NEAT_ACTIVATIONFN_H

#include <array>

namespace NEAT {

class ActivationFn {
public:
    virtual ~ActivationFn() = default;
    virtual double eval(double x) const = 0;
};

class Sigmoid : public ActivationFn {
public:
    static constexpr int TABLE_HALF = 3000;
    static constexpr int TABLE_SIZE = 2 * TABLE_HALF + 1;

    Sigmoid();
    double eval(double x) const override;
    // Entry for k in -TABLE_HALF .. TABLE_HALF: 1 / (1 + e^(-k * 0.001)).
    double tableValue(int k) const { return table[k + TABLE_HALF]; }

private:
    // Filled once by the constructor and only read afterwards, so that simulations in
    // several threads share the table safely.
    const std::array<double, TABLE_SIZE> table;
};

class Sin : public ActivationFn {
public:
    double eval(double x) const override;
};

class Cos : public ActivationFn {
public:
    double eval(double x) const override;
};

class Gaussian : public ActivationFn {
public:
    double eval(double x) const override;
};

class Square : public ActivationFn {
public:
    double eval(double x) const override;
};

class SquareRoot : public ActivationFn {
public:
    double eval(double x) const override;
};

class Linear : public ActivationFn {
public:
    double eval(double x) const override;
};

class OnesComplement : public ActivationFn {
public:
    double eval(double x) const override;
};

class Step : public ActivationFn {
public:
    double eval(double x) const override;
};

struct ActivationFnRow {
    const char* parameterName;  // the parameter that enables the function for new genes
    ActivationFn* fn;           // shared, never owned by a network
    bool onByDefault;
};

constexpr int NUM_ACTIVATION_FUNCTIONS = 9;

// Row i is the function a node gene with activationFunction == i uses.
extern const ActivationFnRow ACTIVATION_FUNCTIONS[NUM_ACTIVATION_FUNCTIONS];

// Row 0 .. NUM_ACTIVATION_FUNCTIONS - 1. Any other row is thrown as a GenomeError, since a
// node without a function cannot be evaluated.
ActivationFn* getActivationFn(int row);

}  // namespace NEAT

#endif
