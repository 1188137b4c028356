#pragma once

#include <QString>

namespace orvex {
class ConfigModel;
}

namespace orvex::ctl {

// The readable form of a configuration for `orvexctl show`: the power-on delay, then one block
// per channel with its settings and the key of each step, lowest step first.
class ConfigTable
{
public:
    static QString format(const ConfigModel &model);
};

} // namespace orvex::ctl
