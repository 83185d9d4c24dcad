// Plain text with MathML mark-up around error blocks, text blocks and newlines, for front ends
// that parse what the kernel writes.
#include "render/renderdialects.h"

void t_renderstdml::writebeginE() { fputs("<merror><mtext>", m_err); }
void t_renderstdml::writeendE() { fputs("</mtext></merror>", m_err); }
void t_renderstdml::writebegintext() { fputs("<mtext>", m_out); }
void t_renderstdml::writenewline() { fputs("<mspace linebreak=\"newline\"/>", m_out); }
void t_renderstdml::writeendtext() { fputs("</mtext>", m_out); }
