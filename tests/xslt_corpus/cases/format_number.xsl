<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:decimal-format name="eu" decimal-separator="," grouping-separator="." minus-sign="~" percent="%" zero-digit="0" digit="#"/>
<xsl:decimal-format name="odd" NaN="not-a-number" infinity="forever" per-mille="&#x2030;"/>
<xsl:template match="/"><r>
<a><xsl:value-of select="format-number(1234567.891, '#,##0.00')"/></a>
<b><xsl:value-of select="format-number(0.25, '0%')"/></b>
<c><xsl:value-of select="format-number(7, '000')"/></c>
<d><xsl:value-of select="format-number(-1234.5, '#.##0,00', 'eu')"/></d>
<e><xsl:value-of select="format-number(-3.5, '0.0;(0.0)')"/></e>
<f><xsl:value-of select="format-number(0.0005, '0.###')"/></f>
<g><xsl:value-of select="format-number(1 div 0, '0', 'odd')"/>|<xsl:value-of select="format-number(number('x'), '0', 'odd')"/></g>
<h><xsl:value-of select="format-number(0.125, '0&#x2030;', 'odd')"/></h>
<i><xsl:value-of select="format-number(12.5, '#')"/>|<xsl:value-of select="format-number(13.5, '#')"/></i>
</r></xsl:template>
</xsl:stylesheet>
