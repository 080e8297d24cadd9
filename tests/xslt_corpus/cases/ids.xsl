<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:value-of select="id('p2')"/>|<xsl:value-of select="count(id('p1 p2'))"/></r></xsl:template>
</xsl:stylesheet>
