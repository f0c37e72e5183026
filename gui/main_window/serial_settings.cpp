#include "gui/main_window/serial_settings.h"

#include "core/config/network_address.h"
#include "gui/main_window/port_list.h"
#include "core/protocol/line_rates.h"
#include "serial/line.h"

#include <QFileInfo>

#include <array>

using namespace Qt::StringLiterals;

namespace {

constexpr std::array kPorts = {1, 2, 3, 4, 5};
static_assert(kPorts.size() == kListedComPorts, "one COM number for each COMn entry of the port list");
constexpr std::array kParities = {'N', 'O', 'E', 'M', 'S'};
constexpr std::array kDataBits = {8, 7, 6};
constexpr std::array kStopBits = {1, 2, 2};

template <typename Array>
auto At(const Array& values, int index, typename Array::value_type fallback)
{
    return index >= 0 && index < static_cast<int>(values.size()) ? values[static_cast<std::size_t>(index)] : fallback;
}

QString StatusText(const LineState& line, const QString& word, QChar separator)
{
    return u"%1%2%3,%4,%5,%6,%7"_s.arg(PortName(line))
        .arg(separator)
        .arg(word)
        .arg(line.nBaud)
        .arg(QChar::fromLatin1(line.cParity))
        .arg(line.nDataBits)
        .arg(line.nStopBits);
}

} // namespace

bool ApplyLineSetting(LineState* line, int listId, int index)
{
    switch (listId) {
    case 1008: line->nBaud = BaudForIndex(index); return true;
    case 1009: line->cParity = ParityForIndex(index); return true;
    case 1010: line->nDataBits = DataBitsForIndex(index); return true;
    case 1013: line->nStopBits = StopBitsForIndex(index); return true;
    default: return false;
    }
}

int PortForIndex(int index)
{
    return At(kPorts, index, 0);
}

int BaudForIndex(int index)
{
    return At(kLineRates, index, 115200);
}

char ParityForIndex(int index)
{
    return At(kParities, index, '\0');
}

int DataBitsForIndex(int index)
{
    return At(kDataBits, index, 8);
}

int StopBitsForIndex(int index)
{
    return At(kStopBits, index, 1);
}

QString OpenStatusText(const LineState& line, const QString& openWord)
{
    return StatusText(line, openWord, u',');
}

QString ClosedStatusText(const LineState& line, const QString& closedWord)
{
    return StatusText(line, closedWord, u' ');
}

QString OpenFailureText(const QString& notFound, const PortOpenError& error, const QString& hint)
{
    const QString text = notFound + u'\n' + error.strDevice + u": "_s + error.strSystemText;
    return hint.isEmpty() ? text : text + u'\n' + hint;
}

QString OpenFailureStatus(const LineState& line, const QString& failedWord, const PortOpenError& error)
{
    return u"%1 %2: %3"_s.arg(PortName(line), failedWord, error.strSystemText);
}

QString PortName(const LineState& line)
{
    if (line.strDevice.isEmpty())
        return u"COM%1"_s.arg(line.nPort);
    // A device server's port by its whole address, a device by its name.
    return IsNetworkName(line.strDevice) ? line.strDevice : QFileInfo(line.strDevice).fileName();
}
