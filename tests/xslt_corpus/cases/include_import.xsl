<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:import href="modules/imported.xsl"/>
<xsl:include href="modules/included.xsl"/>
<xsl:variable name="v" select="'main'"/>
<xsl:template match="/"><r v="{$v}" w="{$w}" n="{format-number(1234.5, '#.##0,0', 'd')}">
<xsl:apply-templates select="//book[1] | //book[1]/title | //book[1]/author"/>
<xsl:for-each select="key('byYear', '1999')"><k><xsl:value-of select="@id"/></k></xsl:for-each>
</r></xsl:template>
<xsl:template match="book"><main><xsl:apply-imports/></main></xsl:template>
</xsl:stylesheet>
