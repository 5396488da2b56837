// Activation functions at their boundary points and the function table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <typeinfo>

#include "NEAT_ActivationFn.h"
#include "neat_test_helpers.h"

using namespace NEAT;

namespace {

double sigmoidEntry(int k) { return 1.0 / (1.0 + std::exp(-k * 0.001)); }

}  // namespace

TEST(SigmoidTest, InsideLimitsUsesTableAtTruncatedIndex) {
    Sigmoid s;
    EXPECT_EQ(s.eval(0.0005), 0.5);
    EXPECT_EQ(s.eval(-0.0005), 0.5);
    EXPECT_EQ(s.eval(0.0), 0.5);
    // 1.2345 truncates to entry 1234, visibly different from the exact sigmoid.
    EXPECT_EQ(s.eval(1.2345), sigmoidEntry(1234));
    EXPECT_NE(s.eval(1.2345), 1.0 / (1.0 + std::exp(-1.2345)));
    // Truncation goes toward zero for negative arguments too: -1.2345 -> -1234.
    EXPECT_EQ(s.eval(-1.2345), sigmoidEntry(-1234));
    EXPECT_EQ(s.eval(-2.8999), sigmoidEntry(-2899));
}

TEST(SigmoidTest, LimitsThemselvesUseTableAndBeyondIsDirect) {
    Sigmoid s;
    EXPECT_EQ(s.eval(2.9), sigmoidEntry(2900));
    EXPECT_EQ(s.eval(-2.9), sigmoidEntry(-2900));
    EXPECT_EQ(s.eval(3.0), 1.0 / (1.0 + std::exp(-3.0)));
    EXPECT_EQ(s.eval(-3.0), 1.0 / (1.0 + std::exp(3.0)));
    EXPECT_EQ(s.eval(2.95), 1.0 / (1.0 + std::exp(-2.95)));
    EXPECT_EQ(s.eval(-50.0), 1.0 / (1.0 + std::exp(50.0)));
}

TEST(SigmoidTest, TableSpansMinus3000To3000) {
    Sigmoid s;
    EXPECT_EQ(s.tableValue(0), 0.5);
    EXPECT_EQ(s.tableValue(-3000), 1.0 / (1.0 + 20.085536923187668));
    EXPECT_EQ(s.tableValue(3000), 1.0 / (1.0 + std::exp(-3.0)));
}

TEST(SigmoidTest, NotANumberDoesNotIndexTheTable) {
    EXPECT_TRUE(std::isnan(Sigmoid().eval(std::numeric_limits<double>::quiet_NaN())));
}

TEST(ActivationFnTest, SmoothFunctionsAtKnownPoints) {
    EXPECT_EQ(Sin().eval(0.0), 0.5);
    EXPECT_NEAR(Sin().eval(std::acos(-1.0) / 2), 1.0, 1e-15);
    EXPECT_EQ(Cos().eval(0.0), 1.0);
    EXPECT_NEAR(Cos().eval(std::acos(-1.0)), 0.0, 1e-15);
    EXPECT_EQ(Gaussian().eval(0.0), 1.0);
    EXPECT_EQ(Gaussian().eval(-2.0), std::exp(-4.0));
    EXPECT_EQ(Square().eval(-3.0), 9.0);
    EXPECT_EQ(SquareRoot().eval(-4.0), 2.0);
    EXPECT_EQ(SquareRoot().eval(6.25), 2.5);
}

TEST(ActivationFnTest, LinearClampsToPlusMinusThree) {
    Linear f;
    EXPECT_NEAR(f.eval(10.0), 1.0, 1e-16);
    EXPECT_NEAR(f.eval(3.0), 1.0, 1e-16);
    EXPECT_NEAR(f.eval(-10.0), 0.0, 1e-16);
    EXPECT_EQ(f.eval(0.0), 0.5);
    // Multiplying by 0.3333333333333333 rounds differently from dividing by 3 here.
    EXPECT_EQ(f.eval(0.96), 0.6599999999999999);
}

TEST(ActivationFnTest, OnesComplementFallsFromOneToZeroOverZeroToThree) {
    OnesComplement f;
    EXPECT_EQ(f.eval(-5.0), 1.0);
    EXPECT_EQ(f.eval(0.0), 1.0);
    EXPECT_EQ(f.eval(4.0), 0.0);
    EXPECT_EQ(f.eval(1.5), 0.5);
    EXPECT_EQ(f.eval(0.48), 0.8400000000000001);
}

TEST(ActivationFnTest, StepSwitchesAtOne) {
    Step f;
    EXPECT_EQ(f.eval(1.0), 1.0);
    EXPECT_EQ(f.eval(0.999), 0.0);
    EXPECT_EQ(f.eval(7.0), 1.0);
    EXPECT_EQ(f.eval(-1.0), 0.0);
}

TEST(ActivationTableTest, RowsInFileNumberOrder) {
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
    // The shared sigmoid instance has its table filled too.
    EXPECT_EQ(getActivationFn(0)->eval(0.0005), 0.5);
    EXPECT_FALSE(signedActivation);
}

TEST(ActivationTableTest, RowOutsideTableIsReported) {
    for (int row : {-1, 9}) {
        auto f = neattest::failureOf([row] { getActivationFn(row); });
        EXPECT_EQ(f.thrown, "Activation function " + std::to_string(row) + " does not exist (0 to 8)!");
        EXPECT_EQ(f.err, f.thrown + "\n");
    }
}
