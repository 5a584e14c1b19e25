#include "script/script_compiler.h"

namespace script {

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

} // namespace script
