<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<by-number><xsl:for-each select="//book"><xsl:sort select="price" data-type="number"/><xsl:value-of select="@id"/>,</xsl:for-each></by-number>
<by-number-desc><xsl:for-each select="//book"><xsl:sort select="price" data-type="number" order="descending"/><xsl:value-of select="@id"/>,</xsl:for-each></by-number-desc>
<two-keys><xsl:for-each select="//book"><xsl:sort select="@year" data-type="number" order="descending"/><xsl:sort select="@id"/><xsl:value-of select="@id"/>,</xsl:for-each></two-keys>
<text-ids><xsl:for-each select="//book"><xsl:sort select="author"/><xsl:sort select="price" data-type="number"/><xsl:value-of select="@id"/>,</xsl:for-each></text-ids>
</r></xsl:template>
</xsl:stylesheet>
