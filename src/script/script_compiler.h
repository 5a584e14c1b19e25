#pragma once

#include "script/script_lexer.h"
#include "script/script_program.h"

#include <string>
#include <string_view>
#include <vector>

// The compiler behind CompileScript (script_compiler.cpp): statements are read in
// script_statements.cpp, expressions in script_expressions.cpp.
namespace script {

// Code lists grow in steps of this many entries.
constexpr size_t kGrowthStep = 64;

template <typename T> void GrowForOneMore(std::vector<T>& list) {
    if (list.size() == list.capacity())
        list.reserve(list.capacity() + kGrowthStep);
}

struct PendingOperator {
    EOpCode code;
    int level;
};

enum class EFrameKind : uint8_t { eRoot, eGroup, eCall };

// One parenthesis depth of an expression and the operators waiting at it.
struct ExpressionFrame {
    EFrameKind kind;
    size_t pendingBase;
    uint32_t function = 0;
    uint32_t argCount = 0;
};

enum class EExpressionEnd : uint8_t { eSemicolon, eRightParenthesis };

// What reading one token of an expression led to.
enum class EExpressionStep : uint8_t { eGoOn, eEnded, eFailed };

enum class EConstructKind : uint8_t { eBlock, eIfThen, eIfElse, eWhile };

// An open statement construct: a block waiting for "}", an "if" or "while"
// waiting for the statement it controls.
struct Construct {
    EConstructKind kind;
    uint32_t jump = 0;      // statement whose target is patched when the construct ends
    uint32_t loopStart = 0; // the condition of a loop
    size_t breakBase = 0;   // first of this loop's entries in the break list
};

// Binding levels; a higher level binds tighter.
struct BinaryOperator {
    EOpCode code;
    int level;
    int length;
};

class Compiler {
public:
    Compiler(ScriptState& state, const char* text, size_t length)
        : m_state(state), m_lexer(text, length) {}

    bool CompileStatements();
    const std::string& Error() const { return m_error; }
    uint32_t ErrorLine() const { return m_errorLine; }

private:
    bool Fail(const char* message) {
        m_error = message;
        m_errorLine = m_lexer.Line();
        return false;
    }

    // --- statements ---
    bool CompileIfOrWhile(bool isWhile);
    bool CompileBreakOrContinue(bool isBreak);
    bool CompileAssignment(std::string_view word);
    bool CompleteStatement();
    uint32_t AddStatement(EStatementKind kind);
    int InnermostLoop() const;

    // --- expressions ---
    bool CompileExpression(EExpressionEnd end, const std::string* initializing, uint32_t& firstOp);
    void BeginExpression();
    bool FailAtEndOfText(EExpressionEnd end);
    EExpressionStep TakeOperandToken(char c, const std::string* initializing);
    EExpressionStep TakeOperatorToken(char c, EExpressionEnd end);
    bool TakeBinaryOperator(char c);
    bool FinishExpression();
    bool ReadOperand(const std::string* initializing);
    bool ReadName(const std::string* initializing);
    bool ReadBinaryOperator(BinaryOperator& op);
    bool CloseParenthesis();
    bool TakeComma();
    void AddBinary(const BinaryOperator& op);
    void FlushFrame();
    bool Emit(const Op& op);
    bool MissingParenthesis() {
        return Fail(m_frames.back().kind == EFrameKind::eCall
                        ? "Syntax error: missing parenthesis."
                        : "Syntax error: missing right parenthesis.");
    }

    ScriptState& m_state;
    ScriptLexer m_lexer;
    std::string m_error;
    uint32_t m_errorLine = 0;

    std::vector<Construct> m_constructs;
    std::vector<uint32_t> m_breaks;

    std::vector<ExpressionFrame> m_frames;
    std::vector<PendingOperator> m_pending;
    bool m_expectOperand = true;
    bool m_callJustOpened = false;
    bool m_noOperandYet = true;
    int m_stackDepth = 0;
    bool m_stackBroken = false;
};

} // namespace script
