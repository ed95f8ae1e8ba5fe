// Which speaker each line of the tone chart's list stands for.
#pragma once

// Speaker number of each tone-chart entry (index = list line); 0x02020202
// marks an entry without one. Only the low byte counts when a speaker is
// loaded, so an entry without a speaker loads speaker byte 2.
void fillToneChartSpeakers(int speakers[78]);
