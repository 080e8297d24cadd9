<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:include href="modules/excluding.xsl"/>
<xsl:template match="/"><r><xsl:apply-templates select="//book[1]"/></r></xsl:template>
</xsl:stylesheet>
