#include "script/script_compiler.h"

namespace script {

namespace {

EExpressionStep Step(bool ok) {
    return ok ? EExpressionStep::eGoOn : EExpressionStep::eFailed;
}

} // namespace

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
    BeginExpression();
    for (;;) {
        m_lexer.SkipBlank();
        if (m_lexer.AtEnd())
            return FailAtEndOfText(end);
        const char c = m_lexer.Peek();
        const EExpressionStep step =
            m_expectOperand ? TakeOperandToken(c, initializing) : TakeOperatorToken(c, end);
        if (step == EExpressionStep::eFailed)
            return false;
        if (step == EExpressionStep::eEnded)
            return FinishExpression();
    }
}

void Compiler::BeginExpression() {
    m_frames.clear();
    m_pending.clear();
    m_frames.push_back(ExpressionFrame{EFrameKind::eRoot, 0});
    m_expectOperand = true;
    m_callJustOpened = false;
    m_noOperandYet = true;
    m_stackDepth = 0;
    m_stackBroken = false;
}

bool Compiler::FailAtEndOfText(EExpressionEnd end) {
    const bool complete = !m_expectOperand && m_frames.size() == 1;
    if (complete && end == EExpressionEnd::eSemicolon)
        return Fail("Missing semicolon.");
    return Fail("Unexpected end of expression.");
}

// Where an operand belongs: the operand, or the ")" of a call without arguments.
EExpressionStep Compiler::TakeOperandToken(char c, const std::string* initializing) {
    if (c == ')' && m_callJustOpened)
        return Step(CloseParenthesis());
    if (c == ';' || c == ')' || c == ',')
        return Step(Fail(m_noOperandYet && m_frames.size() == 1
                             ? "Expression expected."
                             : "Syntax error: missing operand."));
    m_callJustOpened = false;
    if (!ReadOperand(initializing))
        return EExpressionStep::eFailed;
    m_noOperandYet = false;
    return EExpressionStep::eGoOn;
}

// Where an operator belongs: a binary operator, a comma, or the end of a group,
// a call or the whole expression.
EExpressionStep Compiler::TakeOperatorToken(char c, EExpressionEnd end) {
    const bool atRoot = m_frames.size() == 1;
    if (c == ';') {
        if (!atRoot || end != EExpressionEnd::eSemicolon)
            return Step(atRoot ? Fail("Syntax error: missing right parenthesis.")
                               : MissingParenthesis());
        m_lexer.Advance();
        return EExpressionStep::eEnded;
    }
    if (c == ')') {
        if (!atRoot)
            return Step(CloseParenthesis());
        if (end != EExpressionEnd::eRightParenthesis)
            return Step(Fail("Syntax error: no matching left parenthesis."));
        m_lexer.Advance();
        return EExpressionStep::eEnded;
    }
    if (c == ',')
        return Step(TakeComma());
    return Step(TakeBinaryOperator(c));
}

bool Compiler::TakeBinaryOperator(char c) {
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
    return true;
}

bool Compiler::FinishExpression() {
    FlushFrame();
    if (m_stackBroken || m_stackDepth != 1)
        return Fail("Internal parser error (error while building code).");
    return true;
}

} // namespace script
