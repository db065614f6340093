#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The SOAP 1.1 envelope of one operation of the monitoring service's device contract. Every
// value is XML-escaped; a value-less element is written empty with i:nil="true".
class ZENETEnvelope {
public:
    static constexpr const char* kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
    static constexpr const char* kServiceNamespace = "http://tempuri.org/";
    static constexpr const char* kDataContractNamespace = "http://schemas.datacontract.org/2004/07/Zenet.Services";
    static constexpr const char* kSchemaInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";

    struct Fields {
        std::string alarmType;
        std::string dateTaken;
        std::string deviceId;
        std::string devicePassword;
        std::optional<std::string> latitude;
        std::optional<std::string> longitude;
        std::optional<std::string> measureType;
        std::optional<std::string> measureValue;  // none: the element is left out
    };

    // "SubmitLogin", "SubmitLogout", "SubmitMeasure" for actions 0 to 2; "" otherwise.
    static const char* operationName(unsigned action);
    // Empty for an unknown action.
    static std::string build(unsigned action, const Fields& fields);

    // Text made safe for XML content and attribute values: control characters are left out, and
    // what XML cannot carry at all (non-characters, bytes that are not UTF-8) becomes U+FFFD.
    static std::string escaped(std::string_view text);
    // A stored number as plain decimal text (never an exponent), as short as it can be while
    // reading back the same.
    static std::string decimal(double value);
    // A number with three decimals.
    static std::string threeDecimals(double value);
};

}  // namespace qx
