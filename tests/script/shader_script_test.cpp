#include "script/shader_script.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

const double kNaN = std::nan("");
const double kPi = std::acos(-1.0);
const double kIntMin = -2147483648.0;

struct ExpressionCase {
    const char* expression;
    double expected;
};

// Runs "r = <expression>;" with a = 2.5, b = -3.7 and n = NaN available.
bool Evaluate(const std::string& expression, double& value, std::string& message) {
    ShaderScript script;
    script.DeclareExtern("a", 2.5);
    script.DeclareExtern("b", -3.7);
    script.DeclareExtern("n", kNaN);
    std::string text = "r = " + expression + ";";
    if (!script.Load(text.c_str()) || !script.Run()) {
        message = script.Message();
        return false;
    }
    value = script.Get("r", -999);
    return true;
}

// Operators of one level group from the right; logic and bit operators work on
// integer parts; comparisons allow 1e-12 and fail with NaN.
TEST(ShaderScript, ExpressionValues) {
    const ExpressionCase cases[] = {
        {"8 - 2 - 1", 7},         {"12 / 2 * 3", 2},        {"(8 - 2) + 1", 7},
        {"2 * -3 + 1", -5},       {"-(1 + 2)", -3},         {"1 < 2 && 3 > 2", 1},
        {"0.5 && 1", 0},          {"0.2 || 0.9", 0},        {"!0.5", 0},
        {"bool(0.5)", 1},         {"5.7 | 2.2", 7},         {"!1e-13", 1},
        {"-6.9 & 7", 2},          {"-16 >> 2", -4},         {"6 ^ 3", 5},
        {"1 << 33", 2},           {"1 << 31", kIntMin},     {"~2.9", -3},
        {"int(-2.9)", -2},        {"3e9 | 0", kIntMin},     {"n == n", 0},
        {"trunc(5e10)", kIntMin}, {"1 == 1 + 1e-13", 1},    {"n != 1", 0},
        {"1 != 1 + 1e-13", 0},    {"1.5e2", 150},           {"n < 1", 0},
        {"1.5d2", 150},           {"1 == 1 + 1e-11", 0},    {"n >= n", 0},
        {"1e5.3", 1e5},           {"clamp(5, 2, 1)", 1},    {"2 >= 2", 1},
        {"max(1, 2)", 2},         {"min(1, 2)", 1},         {"2 <= 1", 0},
        {"clamp(0, 2, 3)", 2},    {"max(1, n)", 1},         {"0xff", 255},
        {"min(n, 1)", 1},         {"round(-2.5)", -2},      {"2e-1", 0.2},
        {"round(2.5)", 3},        {"abs(b)", 3.7},          {".5", 0.5},
        {"ceil(b)", -3},          {"max(n, 1) == 1", 0},    {"0xffffffff", 4294967295.0},
        {"floor(b)", -4},         {"sqrt(16)", 4},          {"1e", 1},
        {"inrange(2, 2, 3)", 1},  {"log10(100)", 2},        {"true + TRUE + False", 2},
        {"ldexp(3, 2.9)", 12},    {"pow(2, 10)", 1024},     {"clamp(2.5, 2, 3)", 2.5},
        {"exp(0) + log(1)", 1},   {"atan2(0, -1)", kPi},    {"inrange(3.5, 2, 3)", 0},
        {"arctan2(0, -1)", kPi},  {"-7 % 3", -1},           {"7 % 3", 1},
        {"sin(0) + cos(0)", 1},   {"A.x + a.R", 5},         {"arctan(0) + arcsin(0)", 0},
        {"sinh(0) + tanh(0)", 0}, {"tan(0) + asin(0)", 0},  {"arccos(1) + cosh(0)", 1},
        {"acos(1) + atan(0)", 0}, {"ABS(-1) + Sqrt(4)", 3},
    };
    for (const ExpressionCase& c : cases) {
        double value = 0;
        std::string message;
        ASSERT_TRUE(Evaluate(c.expression, value, message)) << c.expression << ": " << message;
        EXPECT_NEAR(value, c.expected, 1e-12) << c.expression;
    }
}

struct MessageCase {
    const char* script;
    const char* message;
};

// Each message, and the scripts that fail to load with it (none: they load).
TEST(ShaderScript, LoadMessages) {
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {"Unknown directive.", {"#include x"}},
        {"Identifier expected.", {"1 = 2;"}},
        {"Missing semicolon.", {"x = 1"}},
        {"Expression expected.", {"x = ;", "if () x = 1;"}},
        {"Unexpected end of script", {"while (1) {", "x"}},
        {"Unsupported operator.", {"x = 1 ? 2 : 3;"}},
        {"Unknown identifier.", {"x = y;"}},
        {"Misplaced left parenthesis.", {"x = 2 (3);"}},
        {"Value too large.", {"x = 0x123456789;"}},
        {"Syntax error: missing operand.", {"x = ();", "x = 1 + ;"}},
        {"Invalid number.", {"x = 1.2.3;", "x = 1e+;", "x = 1e5e3;", "x = 8-2;", "x = 0xFF;"}},
        {"Unexpected end of expression.", {"x = 1 +"}},
        {"Invalid vector coordinate.", {"x.xy = 1;", "x = 1; y = x.xy;"}},
        {"", {"/* never closed", "x = 1; // comment to the end", "x = 1;;; { } y = x;"}},
        {"Assignment or semicolon expected.", {"x + 1;", "x == 1;"}},
        {"A variable can't be used to initialize itself.", {"x = x + 1;"}},
        {"Illegal 'else' without matching 'if'.", {"else x = 1;"}},
        {"strLeft parenthesis expected after 'while'.", {"while 1) x = 1;"}},
        {"strLeft parenthesis expected after 'if'.", {"IF 1) x = 1;"}},
        {"'break' found, but not in a loop.", {"break;"}},
        {"Missing semicolon after 'break'", {"while (1) break"}},
        {"'continue' found, but not in a loop.", {"if (1) continue;"}},
        {"Missing semicolon after 'continue'", {"while (1) { continue }"}},
        {"Syntax error: assignments not allowed.", {"x = 1 = 2;"}},
        {"Syntax error: no matching left parenthesis.", {"x = 1);"}},
        {"Syntax error: comma outside function call.", {"x = 1, 2;"}},
        {"Too many arguments passed to function.", {"x = min(1, 2, 3);"}},
        {"Too few arguments for this function", {"x = sqrt();"}},
        {"Syntax error: unary operator (~) not expected.", {"x = 1 ~ 2;"}},
        {"Syntax error: operator not expected.", {"x = * 2;"}},
        {"Syntax error: unary operator (!) not expected.", {"x = 1 ! 2;"}},
        {"Syntax error: missing operator.", {"x = 1 2;", "if (1 x = 1;"}},
        {"Syntax error: missing parenthesis.", {"x = sqrt(4;"}},
        {"Syntax error: missing right parenthesis.", {"x = (4;"}},
        {"Invalid character in expression.", {"x = 1 @ 2;"}},
        {"Expected left parenthesis after function name", {"x = sqrt;"}},
        {"Syntax error: invalid vector coordinate.", {"x = 1; y = x.q;"}},
        {"Too many dots in variable name.", {"x.y.z = 1;"}},
        {"Variable name collides with an existing function.", {"sin = 1;"}},
    };
    for (const auto& [message, scripts] : cases)
        for (const char* text : scripts) {
            ShaderScript script;
            EXPECT_EQ(script.Load(text), message[0] == '\0') << text;
            EXPECT_STREQ(script.Message(), message) << text;
        }
}

TEST(ShaderScript, HostileInput) {
    const std::string deepParens = std::string(100000, '(') + "1" + std::string(100000, ')');
    std::string deepIfs;
    for (int i = 0; i < 20000; ++i)
        deepIfs += "if (1) {";
    deepIfs += "x = 1;" + std::string(20000, '}');
    const std::tuple<std::string, bool, const char*> cases[] = {
        {"x = " + std::string(300, '7') + ";", false, "Number too long."},
        {"x = " + std::string(254, '1') + ";", true, ""},
        {"x = " + deepParens + ";", true, ""},
        {deepIfs, true, ""},
        {std::string("x = 1;\0y = 2;", 13), false, "Identifier expected."},
        {std::string("x = 1 \0;", 8), false, "Invalid character in expression."},
    };
    for (const auto& [text, loads, message] : cases) {
        ShaderScript script;
        EXPECT_EQ(script.Load(text.c_str(), text.size()), loads) << text.substr(0, 40);
        EXPECT_STREQ(script.Message(), message);
        EXPECT_EQ(script.Run(), loads) << script.Message();
    }

    std::string longScript;
    for (int i = 0; i < 10000; ++i)
        longScript += "x = x + 1;\n";
    ShaderScript script;
    script.DeclareExtern("x", 0);
    ASSERT_TRUE(script.Load(longScript.c_str()));
    ASSERT_TRUE(script.Run());
    EXPECT_EQ(script.Get("x", 0), 10000);
}

// A run fails with its message, past the default step limit or a lowered one
// (a limit of 0 allows one statement).
TEST(ShaderScript, RunMessages) {
    // Step limits (below 0: the default), scripts, and messages without their
    // prefix (empty when the run succeeds).
    const std::tuple<int64_t, const char*, const char*> cases[] = {
        {-1, "x = 1 / 0;", "Division by zero."},
        {-1, "x = 0; x = 5 % 1e-13;", "Division by zero."},
        {-1, "x = 0; x = log(0);", "Non-positive value passed to function log()."},
        {-1, "x = 0; x = log10(-1);", "Non-positive value passed to function log10()."},
        {-1, "while (1) { }", "Too many steps: the script ran longer than 10000000 statements."},
        {5, "a = 1; b = 2; c = 3; d = 4; e = 5;", ""},
        {5, "a = 1; b = 2; c = 3; d = 4; e = 5; f = 6;",
         "Too many steps: the script ran longer than 5 statements."},
        {0, "a = 1;", ""},
        {0, "a = 1; b = 2;", "Too many steps: the script ran longer than 1 statements."},
    };
    for (const auto& [limit, text, message] : cases) {
        ShaderScript script;
        ASSERT_TRUE(script.Load(text)) << text << ": " << script.Message();
        if (limit >= 0)
            script.SetRunStepLimit(limit);
        const std::string expected =
            *message ? "An error occured while executing script: " + std::string(message) : "";
        EXPECT_EQ(script.Run(), expected.empty()) << text;
        EXPECT_EQ(script.Message(), expected) << text;
    }
    ShaderScript empty;
    EXPECT_FALSE(empty.Run());
    EXPECT_STREQ(empty.Message(), "No script loaded.");
}

TEST(ShaderScript, ControlFlow) {
    const ExpressionCase cases[] = {
        {"i = 0; s = 0; while (i < 10) { i = i + 1; if (i == 3) continue; if (i > 6) break; "
         "s = s + i; }",
         1 + 2 + 4 + 5 + 6},
        {"s = 0; if (0) s = 1; else if (1) s = 2; else s = 3;", 2},
        {"s = 0; IF (1) { s = 1; } ELSE { s = 2; }", 1},
        {"i = 0; s = 0; WHILE (i < 3) { j = 0; while (1) { j = j + 1; if (j >= 2) BREAK; } "
         "s = s + j; i = i + 1; }",
         6},
        {"s; s.y = 4; s.A = 1; s = s.g + s.w;", 5},
    };
    for (const ExpressionCase& c : cases) {
        ShaderScript script;
        ASSERT_TRUE(script.Load(c.expression)) << c.expression << ": " << script.Message();
        ASSERT_TRUE(script.Run()) << script.Message();
        EXPECT_EQ(script.Get("S", -1), c.expected) << c.expression;
    }
}

// A run starts from the initial values, whatever the previous run computed.
TEST(ShaderScript, ResetBetweenRuns) {
    ShaderScript script;
    ASSERT_TRUE(script.DeclareExtern("gain", 2));
    ASSERT_TRUE(script.DeclareExtern("offset.z", 1));
    ASSERT_TRUE(script.Load("gain = gain * 2; offset.z = offset.b + 1; if (gain > 5) seen = 1;"
                            "count; count = count + 1;"));
    // The value set before the run, and the values the run leaves.
    const std::tuple<const char*, double, double, double, double> runs[] = {
        {nullptr, 0, 4, 2, 0},  {nullptr, 0, 4, 2, 0},    {"GAIN", 3, 6, 2, 1},
        {"Gain.x", 1, 2, 2, 0}, {"offset.B", 5, 2, 6, 0}, {"unknown", 7, 2, 6, 0},
    };
    for (const auto& [set, value, gain, offsetZ, seen] : runs) {
        if (set)
            script.Set(set, value);
        ASSERT_TRUE(script.Run()) << script.Message();
        EXPECT_EQ(std::vector<double>({script.Get("gain", -1), script.Get("offset.z", -1),
                                       script.Get("seen", -1), script.Get("count", -1)}),
                  std::vector<double>({gain, offsetZ, seen, 1}));
    }
    EXPECT_EQ(script.Get("missing", 42), 42);
    EXPECT_EQ(script.Get("gain.q", 42), 0);
    EXPECT_EQ(script.Get("ga in", 42), 0);
}

TEST(ShaderScript, NamesFromOutside) {
    const MessageCase cases[] = {
        {"9lives", "Invalid character in variable name."},
        {"a-b", "Invalid character in variable name."},
        {"True", "Invalid character in variable name."},
        {"a.q", "Invalid vector coordinate."},
        {"exp", "Variable name collides with an existing function."},
        {"Abc.W", ""},
    };
    for (const MessageCase& c : cases) {
        ShaderScript script;
        EXPECT_EQ(script.DeclareExtern(c.script, 1), c.message[0] == '\0') << c.script;
        EXPECT_STREQ(script.Message(), c.message) << c.script;
    }
}

} // namespace
