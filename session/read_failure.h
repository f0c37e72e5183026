#pragma once

#include <QByteArray>

// A read cycle that failed on its last try: the register whose answer went
// missing or came malformed, and what came of that answer.
struct ReadFailure {
    int nRegister = 0;
    QByteArray answer; // empty: nothing came; shorter than four characters: cut short
    int nTries = 0;

    enum class Kind {
        NoAnswer,  // nothing came
        CutShort,  // fewer than the four characters of an answer
        Malformed, // four characters, not two hex digits and CR LF
    };
    Kind What() const
    {
        return answer.isEmpty() ? Kind::NoAnswer : answer.size() < 4 ? Kind::CutShort : Kind::Malformed;
    }
};
