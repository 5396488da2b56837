// Activation functions at their boundary points and the function table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <typeinfo>

#include "NEAT_ActivationFn.h"
#include "neat_test_helpers.h"

using namespace NEAT;

namespace {

double entry(int k) { return 1.0 / (1.0 + std::exp(-k * 0.001)); }
double exact(double x) { return 1.0 / (1.0 + std::exp(-x)); }

}  // namespace

TEST(SigmoidTest, TableAtTheTruncatedIndexWithinPlusMinus2Point9AndDirectBeyond) {
    Sigmoid s;
    // Truncation toward zero, for negative arguments too; the limits themselves use the table;
    // beyond them, the direct formula.
    const std::pair<double, double> cases[] = {
        {0.0005, 0.5},           {-0.0005, 0.5},          {1.2345, entry(1234)},
        {-1.2345, entry(-1234)}, {-2.8999, entry(-2899)}, {2.9, entry(2900)},
        {-2.9, entry(-2900)},    {2.9005, exact(2.9005)}, {-2.9005, exact(-2.9005)},
        {-50.0, exact(-50.0)}};
    for (const auto& [x, expected] : cases) EXPECT_EQ(s.eval(x), expected) << "x " << x;
    EXPECT_NE(s.eval(1.2345), exact(1.2345));
    EXPECT_EQ(s.tableValue(-3000), 1.0 / (1.0 + 20.085536923187668));
    EXPECT_TRUE(std::isnan(s.eval(std::numeric_limits<double>::quiet_NaN())));
}

TEST(ActivationFnTest, EachFunctionAtItsKnownPoints) {
    const double pi = std::acos(-1.0);
    // Rows: 1 Sin, 2 Cos, 3 Gaussian, 4 Square, 5 SquareRoot, 6 Linear, 7 OnesComplement, 8 Step.
    // Linear of 0.96 shows the multiplication by 0.3333333333333333 rather than a division by 3.
    const struct {
        int row;
        double x, expected, tolerance;
    } cases[] = {{1, 0.0, 0.5, 0},
                 {1, pi / 2, 1.0, 1e-15},
                 {2, 0.0, 1.0, 0},
                 {2, pi, 0.0, 1e-15},
                 {3, -2.0, std::exp(-4.0), 0},
                 {4, -3.0, 9.0, 0},
                 {5, -4.0, 2.0, 0},
                 {6, 10.0, 1.0, 1e-16},
                 {6, 3.0, 1.0, 1e-16},
                 {6, -10.0, 0.0, 1e-16},
                 {6, 0.0, 0.5, 0},
                 {6, 0.96, 0.6599999999999999, 0},
                 {7, -5.0, 1.0, 0},
                 {7, 0.0, 1.0, 0},
                 {7, 4.0, 0.0, 0},
                 {7, 0.48, 0.8400000000000001, 0},
                 {8, 1.0, 1.0, 0},
                 {8, 0.999, 0.0, 0},
                 {8, -1.0, 0.0, 0}};
    for (const auto& c : cases) {
        const double got = getActivationFn(c.row)->eval(c.x);
        if (c.tolerance > 0) {
            EXPECT_NEAR(got, c.expected, c.tolerance) << "row " << c.row << " x " << c.x;
        } else {
            EXPECT_EQ(got, c.expected) << "row " << c.row << " x " << c.x;
        }
    }
}

TEST(ActivationTableTest, RowsInFileNumberOrderAndNoOthers) {
    ASSERT_EQ(NUM_ACTIVATION_FUNCTIONS, 9);
    const char* names[] = {"UseActSigmoid", "UseActSin",        "UseActCos",    "UseActGaussian",
                           "UseActSquare",  "UseActSquareRoot", "UseActLinear", "UseActOnesComplement",
                           "UseActStep"};
    const std::type_info* types[] = {&typeid(Sigmoid), &typeid(Sin),        &typeid(Cos),    &typeid(Gaussian),
                                     &typeid(Square),  &typeid(SquareRoot), &typeid(Linear), &typeid(OnesComplement),
                                     &typeid(Step)};
    for (int row = 0; row < NUM_ACTIVATION_FUNCTIONS; ++row) {
        SCOPED_TRACE(row);
        EXPECT_STREQ(ACTIVATION_FUNCTIONS[row].parameterName, names[row]);
        EXPECT_EQ(ACTIVATION_FUNCTIONS[row].onByDefault, row == 0);
        ASSERT_EQ(getActivationFn(row), ACTIVATION_FUNCTIONS[row].fn);
        EXPECT_EQ(typeid(*getActivationFn(row)), *types[row]);
    }
    EXPECT_EQ(getActivationFn(0)->eval(0.0005), 0.5);  // the shared sigmoid has its table
    EXPECT_FALSE(signedActivation);
    for (int row : {-1, 9}) {
        EXPECT_EQ(neattest::failureOf([row] { getActivationFn(row); }).thrown,
                  "Activation function " + std::to_string(row) + " does not exist (0 to 8)!");
    }
}
