#include "script/script_lexer.h"
#include "script/script_program.h"

#include <new>

namespace script {

namespace {

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
    int m_stackDepth = 0;
    bool m_stackBroken = false;
};

// --- statements ---------------------------------------------------------------------------

uint32_t Compiler::AddStatement(EStatementKind kind) {
    GrowForOneMore(m_state.statements);
    Statement statement;
    statement.kind = kind;
    statement.line = m_lexer.Line();
    m_state.statements.push_back(statement);
    return static_cast<uint32_t>(m_state.statements.size() - 1);
}

int Compiler::InnermostLoop() const {
    for (size_t i = m_constructs.size(); i-- > 0;)
        if (m_constructs[i].kind == EConstructKind::eWhile)
            return static_cast<int>(i);
    return -1;
}

// Statements are read without recursion: open constructs wait on m_constructs
// for the statement they control, so nesting depth costs memory only.
bool Compiler::CompileStatements() {
    for (;;) {
        m_lexer.SkipBlank();
        if (m_lexer.AtEnd()) {
            if (!m_constructs.empty())
                return Fail("Unexpected end of script");
            return true;
        }
        char c = m_lexer.Peek();
        if (c == '{') {
            m_lexer.Advance();
            m_constructs.push_back(Construct{EConstructKind::eBlock});
            continue;
        }
        if (c == '}' && !m_constructs.empty() &&
            m_constructs.back().kind == EConstructKind::eBlock) {
            m_lexer.Advance();
            m_constructs.pop_back();
            if (!CompleteStatement())
                return false;
            continue;
        }
        if (c == ';') {
            m_lexer.Advance();
            if (!CompleteStatement())
                return false;
            continue;
        }
        if (c == '#')
            return Fail("Unknown directive.");
        if (!IsNameStart(c))
            return Fail("Identifier expected.");

        bool ok;
        if (m_lexer.TakeKeyword("if"))
            ok = CompileIfOrWhile(false);
        else if (m_lexer.TakeKeyword("while"))
            ok = CompileIfOrWhile(true);
        else if (m_lexer.TakeKeyword("else"))
            return Fail("Illegal 'else' without matching 'if'.");
        else if (m_lexer.TakeKeyword("break"))
            ok = CompileBreakOrContinue(true) && CompleteStatement();
        else if (m_lexer.TakeKeyword("continue"))
            ok = CompileBreakOrContinue(false) && CompleteStatement();
        else
            ok = CompileAssignment(m_lexer.ReadWord()) && CompleteStatement();
        if (!ok)
            return false;
    }
}

bool Compiler::CompileIfOrWhile(bool isWhile) {
    m_lexer.SkipBlank();
    if (m_lexer.Peek() != '(' || m_lexer.AtEnd())
        return Fail(isWhile ? "strLeft parenthesis expected after 'while'."
                            : "strLeft parenthesis expected after 'if'.");
    m_lexer.Advance();
    uint32_t firstOp = 0;
    uint32_t loopStart = static_cast<uint32_t>(m_state.statements.size());
    if (!CompileExpression(EExpressionEnd::eRightParenthesis, nullptr, firstOp))
        return false;
    uint32_t jump = AddStatement(EStatementKind::eJumpIfFalse);
    Statement& statement = m_state.statements[jump];
    statement.firstOp = firstOp;
    statement.opCount = static_cast<uint32_t>(m_state.ops.size()) - firstOp;

    Construct construct{isWhile ? EConstructKind::eWhile : EConstructKind::eIfThen};
    construct.jump = jump;
    construct.loopStart = loopStart;
    construct.breakBase = m_breaks.size();
    m_constructs.push_back(construct);
    return true;
}

bool Compiler::CompileBreakOrContinue(bool isBreak) {
    int loop = InnermostLoop();
    if (loop < 0)
        return Fail(isBreak ? "'break' found, but not in a loop."
                            : "'continue' found, but not in a loop.");
    m_lexer.SkipBlank();
    if (m_lexer.AtEnd() || m_lexer.Peek() != ';')
        return Fail(isBreak ? "Missing semicolon after 'break'"
                            : "Missing semicolon after 'continue'");
    m_lexer.Advance();
    uint32_t jump = AddStatement(EStatementKind::eJump);
    if (isBreak)
        m_breaks.push_back(jump);
    else
        m_state.statements[jump].target = m_constructs[static_cast<size_t>(loop)].loopStart;
    return true;
}

bool Compiler::CompileAssignment(std::string_view word) {
    if (m_state.FindFunction(NameKey(word.data(), word.size())) >= 0)
        return Fail("Variable name collides with an existing function.");
    std::string name;
    int component = 0;
    ENameProblem problem = SplitReference(word.data(), word.size(), name, component);
    if (problem != ENameProblem::eNone)
        return Fail(NameProblemMessage(problem));
    std::string key = NameKey(name);
    double constant = 0.0;
    if (LookupConstant(key, constant))
        return Fail("Identifier expected.");
    if (m_state.FindFunction(key) >= 0)
        return Fail("Variable name collides with an existing function.");

    m_lexer.SkipBlank();
    if (m_lexer.AtEnd())
        return Fail("Unexpected end of script");
    char c = m_lexer.Peek();
    bool isDeclaration = c == ';';
    if (!isDeclaration && (c != '=' || m_lexer.Peek(1) == '='))
        return Fail("Assignment or semicolon expected.");
    m_lexer.Advance();

    int variable = m_state.FindVariable(key);
    if (isDeclaration) {
        if (variable < 0)
            m_state.AddVariable(name);
        return true;
    }

    bool initializes = variable < 0;
    uint32_t firstOp = 0;
    if (!CompileExpression(EExpressionEnd::eSemicolon, initializes ? &key : nullptr, firstOp))
        return false;
    if (initializes)
        variable = static_cast<int>(m_state.AddVariable(name));

    uint32_t index = AddStatement(EStatementKind::eAssign);
    Statement& statement = m_state.statements[index];
    statement.variable = static_cast<uint32_t>(variable);
    statement.component = static_cast<uint8_t>(component);
    statement.firstOp = firstOp;
    statement.opCount = static_cast<uint32_t>(m_state.ops.size()) - firstOp;
    return true;
}

// A statement has ended: close the constructs it completes.
bool Compiler::CompleteStatement() {
    std::vector<Statement>& statements = m_state.statements;
    while (!m_constructs.empty()) {
        Construct& top = m_constructs.back();
        uint32_t next = static_cast<uint32_t>(statements.size());
        switch (top.kind) {
        case EConstructKind::eBlock:
            return true;
        case EConstructKind::eIfThen:
            m_lexer.SkipBlank();
            if (m_lexer.TakeKeyword("else")) {
                uint32_t skipElse = AddStatement(EStatementKind::eJump);
                statements[top.jump].target = skipElse + 1;
                top.kind = EConstructKind::eIfElse;
                top.jump = skipElse;
                return true;
            }
            statements[top.jump].target = next;
            break;
        case EConstructKind::eIfElse:
            statements[top.jump].target = next;
            break;
        case EConstructKind::eWhile: {
            uint32_t back = AddStatement(EStatementKind::eJump);
            statements[back].target = top.loopStart;
            statements[top.jump].target = back + 1;
            for (size_t i = top.breakBase; i < m_breaks.size(); ++i)
                statements[m_breaks[i]].target = back + 1;
            m_breaks.resize(top.breakBase);
            break;
        }
        }
        m_constructs.pop_back();
    }
    return true;
}

// --- expressions --------------------------------------------------------------------------

bool Compiler::Emit(const Op& op) {
    switch (op.code) {
    case EOpCode::ePushNumber:
    case EOpCode::ePushVariable:
        ++m_stackDepth;
        break;
    case EOpCode::eCallFunction:
        m_stackDepth -= op.argCount;
        if (m_stackDepth < 0)
            m_stackBroken = true;
        ++m_stackDepth;
        break;
    case EOpCode::eNegate:
    case EOpCode::eBitNot:
    case EOpCode::eLogicalNot:
        if (m_stackDepth < 1)
            m_stackBroken = true;
        break;
    default:
        if (m_stackDepth < 2)
            m_stackBroken = true;
        --m_stackDepth;
        break;
    }
    if (m_stackDepth > static_cast<int>(m_state.maxStackDepth))
        m_state.maxStackDepth = static_cast<uint32_t>(m_stackDepth);
    GrowForOneMore(m_state.ops);
    m_state.ops.push_back(op);
    return true;
}

void Compiler::FlushFrame() {
    size_t base = m_frames.back().pendingBase;
    while (m_pending.size() > base) {
        Op op;
        op.code = m_pending.back().code;
        m_pending.pop_back();
        Emit(op);
    }
}

// An operator between two operands waits at its depth; one that binds looser
// than the operator that arrived last there first applies everything waiting,
// latest first. Equal levels therefore group from the right.
void Compiler::AddBinary(const BinaryOperator& op) {
    if (m_pending.size() > m_frames.back().pendingBase && op.level < m_pending.back().level)
        FlushFrame();
    m_pending.push_back(PendingOperator{op.code, op.level});
}

bool Compiler::ReadBinaryOperator(BinaryOperator& op) {
    char c = m_lexer.Peek();
    char next = m_lexer.HasAhead(1) ? m_lexer.Peek(1) : '\0';
    switch (c) {
    case '|':
        op = next == '|' ? BinaryOperator{EOpCode::eLogicalOr, 1, 2}
                         : BinaryOperator{EOpCode::eBitOr, 3, 1};
        return true;
    case '&':
        op = next == '&' ? BinaryOperator{EOpCode::eLogicalAnd, 2, 2}
                         : BinaryOperator{EOpCode::eBitAnd, 5, 1};
        return true;
    case '^':
        op = BinaryOperator{EOpCode::eBitXor, 4, 1};
        return true;
    case '!':
        if (next != '=')
            return false;
        op = BinaryOperator{EOpCode::eNotEqual, 6, 2};
        return true;
    case '=':
        if (next != '=')
            return false;
        op = BinaryOperator{EOpCode::eEqual, 7, 2};
        return true;
    case '>':
        op = next == '='   ? BinaryOperator{EOpCode::eGreaterEqual, 8, 2}
             : next == '>' ? BinaryOperator{EOpCode::eShiftRight, 12, 2}
                           : BinaryOperator{EOpCode::eGreater, 9, 1};
        return true;
    case '<':
        op = next == '='   ? BinaryOperator{EOpCode::eLessEqual, 10, 2}
             : next == '<' ? BinaryOperator{EOpCode::eShiftLeft, 13, 2}
                           : BinaryOperator{EOpCode::eLess, 11, 1};
        return true;
    case '-':
        op = BinaryOperator{EOpCode::eSubtract, 14, 1};
        return true;
    case '+':
        op = BinaryOperator{EOpCode::eAdd, 15, 1};
        return true;
    case '%':
        op = BinaryOperator{EOpCode::eRemainder, 16, 1};
        return true;
    case '/':
        op = BinaryOperator{EOpCode::eDivide, 17, 1};
        return true;
    case '*':
        op = BinaryOperator{EOpCode::eMultiply, 18, 1};
        return true;
    default:
        return false;
    }
}

bool Compiler::ReadName(const std::string* initializing) {
    std::string_view word = m_lexer.ReadWord();
    std::string wordKey = NameKey(word.data(), word.size());
    int function = m_state.FindFunction(wordKey);
    if (function >= 0) {
        const Function& f = m_state.functions[static_cast<size_t>(function)];
        if (!f.hasReturnValue)
            return Fail("Function without return value used in expression.");
        m_lexer.SkipBlank();
        if (m_lexer.AtEnd() || m_lexer.Peek() != '(')
            return Fail("Expected left parenthesis after function name");
        m_lexer.Advance();
        m_frames.push_back(
            ExpressionFrame{EFrameKind::eCall, m_pending.size(), static_cast<uint32_t>(function)});
        m_expectOperand = true;
        m_callJustOpened = true;
        return true;
    }

    std::string name;
    int component = 0;
    ENameProblem problem = SplitReference(word.data(), word.size(), name, component);
    // A suffix of the wrong length is a malformed name like anywhere else; a
    // single letter that names no component is the expression's own complaint.
    if (problem == ENameProblem::eUnknownComponent)
        return Fail("Syntax error: invalid vector coordinate.");
    if (problem != ENameProblem::eNone)
        return Fail(NameProblemMessage(problem));
    std::string key = NameKey(name);
    Op op;
    double constant = 0.0;
    if (LookupConstant(key, constant)) {
        op.code = EOpCode::ePushNumber;
        op.value = constant;
    } else {
        int variable = m_state.FindVariable(key);
        if (variable < 0) {
            if (initializing && *initializing == key)
                return Fail("A variable can't be used to initialize itself.");
            return Fail("Unknown identifier.");
        }
        op.code = EOpCode::ePushVariable;
        op.index = static_cast<uint32_t>(variable);
        op.component = static_cast<uint8_t>(component);
    }
    m_expectOperand = false;
    return Emit(op);
}

bool Compiler::ReadOperand(const std::string* initializing) {
    char c = m_lexer.Peek();
    if (ascii::IsDigit(c) || c == '.') {
        Op op;
        op.code = EOpCode::ePushNumber;
        if (const char* message = m_lexer.ReadNumber(op.value))
            return Fail(message);
        m_expectOperand = false;
        return Emit(op);
    }
    if (IsNameStart(c))
        return ReadName(initializing);
    if (c == '(') {
        m_lexer.Advance();
        m_frames.push_back(ExpressionFrame{EFrameKind::eGroup, m_pending.size()});
        return true;
    }
    // Unary operators bind tighter than any binary one and simply wait.
    if (c == '-' || c == '~' || (c == '!' && m_lexer.Peek(1) != '=')) {
        m_lexer.Advance();
        EOpCode code = c == '-'   ? EOpCode::eNegate
                       : c == '~' ? EOpCode::eBitNot
                                  : EOpCode::eLogicalNot;
        int level = c == '-' ? 19 : c == '~' ? 20 : 21;
        m_pending.push_back(PendingOperator{code, level});
        return true;
    }
    if (c == '?' || c == ':')
        return Fail("Unsupported operator.");
    if (c == '=' && m_lexer.Peek(1) != '=')
        return Fail("Syntax error: assignments not allowed.");
    BinaryOperator op;
    if (ReadBinaryOperator(op))
        return Fail("Syntax error: operator not expected.");
    return Fail("Invalid character in expression.");
}

bool Compiler::CloseParenthesis() {
    m_lexer.Advance();
    FlushFrame();
    ExpressionFrame frame = m_frames.back();
    m_frames.pop_back();
    m_expectOperand = false;
    if (frame.kind == EFrameKind::eGroup)
        return true;
    const Function& function = m_state.functions[frame.function];
    uint32_t given = frame.argCount + (m_callJustOpened ? 0 : 1);
    m_callJustOpened = false;
    if (given > function.argCount)
        return Fail("Too many arguments passed to function.");
    if (given < function.argCount)
        return Fail("Too few arguments for this function");
    Op op;
    op.code = EOpCode::eCallFunction;
    op.index = frame.function;
    op.argCount = static_cast<uint16_t>(given);
    return Emit(op);
}

bool Compiler::TakeComma() {
    ExpressionFrame& frame = m_frames.back();
    if (frame.kind != EFrameKind::eCall)
        return Fail("Syntax error: comma outside function call.");
    m_lexer.Advance();
    FlushFrame();
    ++frame.argCount;
    if (frame.argCount >= m_state.functions[frame.function].argCount)
        return Fail("Too many arguments passed to function.");
    m_expectOperand = true;
    return true;
}

// Reads one expression up to ";" or the ")" that closes a condition and appends
// its postfix code. Parentheses are tracked on m_frames, not by recursion.
bool Compiler::CompileExpression(EExpressionEnd end, const std::string* initializing,
                                 uint32_t& firstOp) {
    firstOp = static_cast<uint32_t>(m_state.ops.size());
    m_frames.clear();
    m_pending.clear();
    m_frames.push_back(ExpressionFrame{EFrameKind::eRoot, 0});
    m_expectOperand = true;
    m_callJustOpened = false;
    m_stackDepth = 0;
    m_stackBroken = false;
    bool empty = true;

    for (;;) {
        m_lexer.SkipBlank();
        if (m_lexer.AtEnd()) {
            bool complete = !m_expectOperand && m_frames.size() == 1;
            if (complete && end == EExpressionEnd::eSemicolon)
                return Fail("Missing semicolon.");
            return Fail("Unexpected end of expression.");
        }
        char c = m_lexer.Peek();
        bool atRoot = m_frames.size() == 1;

        if (m_expectOperand) {
            if (c == ')' && m_callJustOpened) {
                if (!CloseParenthesis())
                    return false;
                continue;
            }
            if (c == ';' || c == ')' || c == ',') {
                if (empty && atRoot)
                    return Fail("Expression expected.");
                return Fail("Syntax error: missing operand.");
            }
            m_callJustOpened = false;
            if (!ReadOperand(initializing))
                return false;
            empty = false;
            continue;
        }

        if (c == ';') {
            if (!atRoot || end != EExpressionEnd::eSemicolon)
                return atRoot ? Fail("Syntax error: missing right parenthesis.")
                              : MissingParenthesis();
            m_lexer.Advance();
            break;
        }
        if (c == ')') {
            if (atRoot) {
                if (end != EExpressionEnd::eRightParenthesis)
                    return Fail("Syntax error: no matching left parenthesis.");
                m_lexer.Advance();
                break;
            }
            if (!CloseParenthesis())
                return false;
            continue;
        }
        if (c == ',') {
            if (!TakeComma())
                return false;
            continue;
        }
        if (c == '(')
            return Fail("Misplaced left parenthesis.");
        if (ascii::IsDigit(c) || c == '.' || IsNameStart(c))
            return Fail("Syntax error: missing operator.");
        if (c == '~')
            return Fail("Syntax error: unary operator (~) not expected.");
        if (c == '!' && m_lexer.Peek(1) != '=')
            return Fail("Syntax error: unary operator (!) not expected.");
        if (c == '?' || c == ':')
            return Fail("Unsupported operator.");
        if (c == '=' && m_lexer.Peek(1) != '=')
            return Fail("Syntax error: assignments not allowed.");
        BinaryOperator op;
        if (!ReadBinaryOperator(op))
            return Fail("Invalid character in expression.");
        m_lexer.Advance(static_cast<size_t>(op.length));
        AddBinary(op);
        m_expectOperand = true;
    }

    FlushFrame();
    if (m_stackBroken || m_stackDepth != 1)
        return Fail("Internal parser error (error while building code).");
    return true;
}

} // namespace

uint32_t ScriptState::AddVariable(const std::string& name) {
    uint32_t index = static_cast<uint32_t>(variables.size());
    variables.push_back(Variable{name});
    variableByName.emplace(NameKey(name), index);
    return index;
}

bool CompileScript(ScriptState& state, const char* text, size_t length) {
    state.statements.clear();
    state.ops.clear();
    state.maxStackDepth = 0;
    state.loaded = false;
    size_t variablesBefore = state.variables.size();

    bool ok = false;
    try {
        Compiler compiler(state, text, length);
        ok = compiler.CompileStatements();
        if (!ok) {
            state.message = compiler.Error();
            state.messageLine = compiler.ErrorLine();
        }
    } catch (const std::bad_alloc&) {
        state.message = "Out of memory";
        state.messageLine = 0;
    }
    if (ok) {
        state.loaded = true;
        return true;
    }

    // A failed load leaves no trace of the variables it had created.
    for (size_t i = variablesBefore; i < state.variables.size(); ++i)
        state.variableByName.erase(NameKey(state.variables[i].name));
    state.variables.resize(variablesBefore);
    state.statements.clear();
    state.ops.clear();
    return false;
}

} // namespace script
