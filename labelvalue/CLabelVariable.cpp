#include "CLabelVariable.h"

#include <QList>

#include "element_access.h"

CLabelVariable::CLabelVariable()
    : status(1), accessStatus(1), count(0), type(NoType), reserved(0)
{
}

CLabelVariable::CLabelVariable(const CLabelVariable& other) = default;

CLabelVariable& CLabelVariable::operator=(const CLabelVariable& other)
{
    status = other.status;
    value = other.value;
    timestamp = other.timestamp;
    address = other.address;
    count = other.count;
    type = other.type;
    reservedText = other.reservedText;
    return *this;
}

CLabelVariable::~CLabelVariable() = default;

using vane::labelvalue::elementAt;

bool CLabelVariable::atbool(int index) { return elementAt<bool>(*this, index); }
char CLabelVariable::atchar(int index) { return elementAt<char>(*this, index); }
char CLabelVariable::atInt8(int index) { return elementAt<char>(*this, index); }
unsigned char CLabelVariable::atUInt8(int index) { return elementAt<unsigned char>(*this, index); }
short CLabelVariable::atInt16(int index) { return elementAt<short>(*this, index); }
unsigned short CLabelVariable::atUInt16(int index) { return elementAt<unsigned short>(*this, index); }
int CLabelVariable::atInt32(int index) { return elementAt<int>(*this, index); }
unsigned int CLabelVariable::atUInt32(int index) { return elementAt<unsigned int>(*this, index); }
float CLabelVariable::atFloat(int index) { return elementAt<float>(*this, index); }
long long CLabelVariable::atInt64(int index) { return elementAt<long long>(*this, index); }
unsigned long long CLabelVariable::atUInt64(int index) { return elementAt<unsigned long long>(*this, index); }
double CLabelVariable::atDouble(int index) { return elementAt<double>(*this, index); }
QString CLabelVariable::atQString(int index) { return elementAt<QString>(*this, index); }
