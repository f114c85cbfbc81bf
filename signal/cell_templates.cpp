#include "signal/cell_templates.h"

namespace {

// A cell's levels move its tone's template.
void followTemplate(double& high, double& low, double share, double cellHigh, double cellLow)
{
    if (high > 0 || low > 0) {
        high = high + share * (cellHigh - high);
        low = low + share * (cellLow - low);
    } else {
        high = cellHigh;
        low = cellLow;
    }
}

}  // namespace

double told(const Discriminant& q, double high, double low)
{
    double c = q.a * high - q.b * low + q.offset;
    return c > 1.0 ? 1.0 : c < -1.0 ? -1.0 : c;
}

// Each cell told by how near its two levels lie to either template, each tone weighed
// by how far its templates stand apart (the noise is the same in both tones'
// correlations), not at all where it sounds no louder in its own cells (a low cell
// rings on into the next); whether the templates tell the cells apart at all.
bool discriminantOf(const Templates& m, Discriminant& q)
{
    double highApart = m.highInHigh - m.highInLow, lowApart = m.lowInLow - m.lowInHigh;
    double highWeight = highApart > 0 ? highApart : 0.0, lowWeight = lowApart > 0 ? lowApart : 0.0;
    double apart = highWeight * highApart + lowWeight * lowApart;
    if (!(apart > 0)) return false;
    double scale = 2.0 / apart;
    q.a = highWeight * scale;
    q.b = lowWeight * scale;
    q.offset = (lowWeight * (m.lowInLow + m.lowInHigh) - highWeight * (m.highInHigh + m.highInLow)) * scale / 2;
    return true;
}

// A cell's levels move the templates of its tone, and those after its previous cell
// where that one's tone is known.
void followCell(Channel& m, double share, double h, double l, bool high, bool previousKnown, bool previousHigh)
{
    if (high)
        followTemplate(m.any.highInHigh, m.any.lowInHigh, share, h, l);
    else
        followTemplate(m.any.highInLow, m.any.lowInLow, share, h, l);
    if (!previousKnown) return;
    Templates& after = m.after[previousHigh ? 1 : 0];
    if (high)
        followTemplate(after.highInHigh, after.lowInHigh, share, h, l);
    else
        followTemplate(after.highInLow, after.lowInLow, share, h, l);
}
