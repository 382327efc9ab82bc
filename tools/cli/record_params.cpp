#include "record_params.h"

namespace facepad::cli {

ParamMap UserParams(const UserRecord& record)
{
    ParamMap params;
    for (std::size_t i = 0; i < record.size(); ++i) {
        params.emplace(member::kUser[i].name, record[i]);
    }
    return params;
}

ParamMap PhotoParams(const std::string& pin, int type, int format, const std::string& url,
                     std::string content)
{
    ParamMap params{{member::kPin, pin},
                    {member::kType, std::to_string(type)},
                    {member::kSize, std::to_string(content.size())},
                    {member::kUrl, url},
                    {member::kFormat, std::to_string(format)}};
    params.emplace(member::kContent, std::move(content));
    return params;
}

ParamMap PinParams(const std::string& pin)
{
    return ParamMap{{member::kPin, pin}};
}

}  // namespace facepad::cli
