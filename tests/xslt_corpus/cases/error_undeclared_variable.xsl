<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:value-of select="$undeclared"/></r></xsl:template>
</xsl:stylesheet>
