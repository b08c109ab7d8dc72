#include "chain_rate.h"

double chain_rate_for(int input_rate)
{
    double rate = input_rate;
    while (rate > kHighestChainRate)
        rate /= 2.0;
    return rate < kLowestHalvedChainRate && input_rate > kHighestChainRate ? kHighestChainRate : rate;
}
