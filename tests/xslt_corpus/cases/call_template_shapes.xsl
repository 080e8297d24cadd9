<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template name="t">x</xsl:template>
<xsl:template match="/"><r><xsl:call-template name="t"/><xsl:if test="false()"><xsl:call-template name="t"/></xsl:if><xsl:for-each select="//book"><xsl:call-template name="t"/></xsl:for-each></r></xsl:template>
</xsl:stylesheet>
