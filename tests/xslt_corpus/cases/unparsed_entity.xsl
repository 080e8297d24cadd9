<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:value-of select="contains(unparsed-entity-uri(/doc/@img), 'pic.gif')"/>|<xsl:value-of select="unparsed-entity-uri('none')"/></r></xsl:template>
</xsl:stylesheet>
