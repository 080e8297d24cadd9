<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:variable name="g" select="count(//book)"/>
<xsl:variable name="tree"><a>1</a><b>2</b></xsl:variable>
<xsl:template match="/"><r g="{$g}">
<xsl:variable name="local" select="//book[1]/title"/>
<s><xsl:value-of select="$tree"/></s>
<c><xsl:copy-of select="$tree"/></c>
<l><xsl:value-of select="$local"/></l>
<xsl:for-each select="//book"><xsl:variable name="i" select="position()"/><i n="{$i}"/></xsl:for-each>
<bool><xsl:if test="$tree">non-empty rtf is true</xsl:if></bool>
</r></xsl:template>
</xsl:stylesheet>
