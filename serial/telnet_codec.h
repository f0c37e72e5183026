#pragma once

#include <QByteArray>
#include <array>
#include <utility>
#include <vector>

// The client's side of telnet as a serial device server speaks it for RFC
// 2217: data with 0xFF doubled, the option negotiation, and the COM-PORT
// option's settings and their answers. No sockets: bytes in, bytes out.
//
// The client offers COM-PORT (44) and BINARY both ways, and asks for
// SUPPRESS-GO-AHEAD; any other option is refused. Requests and answers are
// kept apart per option, so no two sides ever loop on one.
class CTelnetCodec final {
public:
    static constexpr unsigned char kIac = 255;
    static constexpr unsigned char kDont = 254;
    static constexpr unsigned char kDo = 253;
    static constexpr unsigned char kWont = 252;
    static constexpr unsigned char kWill = 251;
    static constexpr unsigned char kSb = 250;
    static constexpr unsigned char kSe = 240;
    static constexpr unsigned char kBinary = 0;
    static constexpr unsigned char kSuppressGoAhead = 3;
    static constexpr unsigned char kComPort = 44;

    // RFC 2217's commands from the client; the server answers each with 100 more.
    enum ComPortCommand : unsigned char { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, PurgeData = 12 };
    static constexpr unsigned char kServerOffset = 100;

    struct ComPortAnswer {
        unsigned char nCommand = 0; // the client's command it answers (1 for SET-BAUDRATE)
        QByteArray value;
    };

    // What the client sends first.
    QByteArray Opening();

    // Data as it goes on the wire: 0xFF doubled.
    static QByteArray Escape(const QByteArray& data);

    // A COM-PORT command with its value (escaped), framed by IAC SB ... IAC SE.
    static QByteArray ComPort(ComPortCommand command, const QByteArray& value);
    static QByteArray BaudRate(int baud);   // 4 bytes, network order
    static QByteArray Parity(char parity);  // 'N' 1, 'O' 2, 'E' 3, 'M' 4, 'S' 5
    static QByteArray StopSize(int stopBits);

    // Takes bytes from the server (any split, also inside a command) and
    // gives the data among them; what the negotiation answers is appended to
    // *reply, for the caller to send.
    QByteArray Feed(const QByteArray& bytes, QByteArray* reply);

    // The COM-PORT answers heard since the last call.
    std::vector<ComPortAnswer> TakeAnswers() { return std::exchange(m_answers, {}); }
    // The server agreed to COM-PORT (DO 44), or refused it (DONT 44).
    bool ComPortAgreed() const { return m_us[kComPort].bOn; }
    bool ComPortRefused() const { return m_bComPortRefused; }

private:
    struct Side {
        bool bOn = false;
        bool bAsked = false; // a request of ours waits for its answer
    };
    enum class State { Data, Iac, Option, Sub, SubIac };

    void OnOption(unsigned char verb, unsigned char option, QByteArray* reply);
    void OnSubnegotiation();
    static bool Wanted(unsigned char option);

    State m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub;
    std::array<Side, 256> m_us{};  // options this side performs (WILL/WONT)
    std::array<Side, 256> m_him{}; // options the server performs (DO/DONT)
    bool m_bComPortRefused = false;
    std::vector<ComPortAnswer> m_answers;
};
