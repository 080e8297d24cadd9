<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:apply-templates select="//book[1]/author | //book[1]/@id"/></r></xsl:template>
<xsl:template match="@node()"><attr name="{name()}"/></xsl:template>
</xsl:stylesheet>
