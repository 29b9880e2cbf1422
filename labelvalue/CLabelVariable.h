#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include "../contract/data_type.h"
#include "../contract/export.h"

// One tag's value as it crosses between host and driver: the outcome, the elements as a QList of
// one element type, and the tag they belong to. The field order is shared with separately built
// hosts.
class VANE_EXPORT CLabelVariable {
public:
    CLabelVariable();
    CLabelVariable(const CLabelVariable& other);
    // Copies seven fields: accessStatus and reserved stay the target's own.
    CLabelVariable& operator=(const CLabelVariable& other);
    ~CLabelVariable();

    // Typed element access. accessStatus: 0 returned, 10 index outside the list, 11 the value
    // holds another list type.
    bool atbool(int index);
    char atchar(int index);
    char atInt8(int index);
    unsigned char atUInt8(int index);
    short atInt16(int index);
    unsigned short atUInt16(int index);
    int atInt32(int index);
    unsigned int atUInt32(int index);
    float atFloat(int index);
    long long atInt64(int index);
    unsigned long long atUInt64(int index);
    double atDouble(int index);
    QString atQString(int index);

    // Element-wise arithmetic and comparison, by the left operand's type.
    CLabelVariable operator+(const CLabelVariable& other);
    CLabelVariable operator-(const CLabelVariable& other);
    CLabelVariable operator*(const CLabelVariable& other);
    CLabelVariable operator/(const CLabelVariable& other);
    bool operator==(const CLabelVariable& other);

    int status;
    // Reading an element of the right-hand operand of an operator records its outcome here too.
    mutable int accessStatus;
    QVariant value;
    QDateTime timestamp;
    QString address;
    int count;
    DataType type;
    int reserved;
    QString reservedText;
};
